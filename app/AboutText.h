// What the About box says about the program's licence and the licences of
// the libraries and programs it uses.
#pragma once

#include <string>
#include <vector>

namespace zelk {

// A library (or program) the installed program uses, with its licence as
// the package's copyright file names it.
struct ThirdPartyLicence {
    std::string name;
    std::string licence;
};

// The libraries the programs link and the slicing engine the slicer bridge
// runs, in the order of the copyright file (packaging/copyright).
const std::vector<ThirdPartyLicence>& ThirdPartyLicences();

// A few lines of text: the program's name and version, that it is free
// software under the GNU GPL version 3 or later, and one line
// "name: licence" per entry of ThirdPartyLicences().
std::string AboutLicenceText();

}  // namespace zelk
