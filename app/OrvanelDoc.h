// COrvanelDoc: the program's document. It holds nothing; every model lives in the entity database.
#pragma once

// Nothing is loaded from or saved to a document file; the class keeps the
// program's document-view shape for the frame and the view.
class COrvanelDoc {
public:
    // A new document does nothing of its own. Always true.
    bool OnNewDocument() { return true; }
};
