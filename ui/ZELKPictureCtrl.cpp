// Picture controls of the tool column and the top row.
#include "ZELKPictureCtrl.h"

#include "ToolPictures.h"
#include "PanelHost.h"

ZELKBitmapStatic::ZELKBitmapStatic(wxWindow* parent, int id, const wxPoint& pos, unsigned bitmapId, bool sendsCommand)
    : wxGenericStaticBitmap(parent, id, zelk::LoadToolPicture(bitmapId), pos,
                            wxSize(zelk::kToolPictureSize, zelk::kToolPictureSize)),
      m_bitmapId(bitmapId), m_sendsCommand(sendsCommand)
{
    SetScaleMode(Scale_None);
    Bind(wxEVT_LEFT_UP, &ZELKBitmapStatic::OnLeftUp, this);
    Bind(wxEVT_LEFT_DCLICK, &ZELKBitmapStatic::OnDoubleClick, this);
}

void ZELKBitmapStatic::SetBitmapId(unsigned bitmapId)
{
    if (bitmapId == m_bitmapId)
        return;
    m_bitmapId = bitmapId;
    SetBitmap(zelk::LoadToolPicture(bitmapId));
    Refresh();
}

void ZELKBitmapStatic::OnLeftUp(wxMouseEvent& event)
{
    event.Skip();
    if (m_releaseEndsDoubleClick) {
        m_releaseEndsDoubleClick = false;
        return;
    }
    OnClicked();
}

void ZELKBitmapStatic::OnDoubleClick(wxMouseEvent& event)
{
    event.Skip();
    m_releaseEndsDoubleClick = true;
}

void ZELKBitmapStatic::OnClicked()
{
    if (!m_sendsCommand || GetParent() == nullptr)
        return;
    wxCommandEvent command(wxEVT_BUTTON, GetId());
    command.SetEventObject(this);
    wxPostEvent(GetParent(), command);
}

ZELKPictureCtrl::ZELKPictureCtrl(wxWindow* parent, int id, const wxPoint& pos, PictrueCtrlStyle style,
                                 unsigned uncheckedBitmap, unsigned checkedBitmap)
    : ZELKBitmapStatic(parent, id, pos, uncheckedBitmap, false),
      m_style(style), m_checkedBitmap(checkedBitmap), m_uncheckedBitmap(uncheckedBitmap)
{
}

void ZELKPictureCtrl::SetCheckedState(int checked)
{
    m_checked = checked;
    SetBitmapId(checked != 0 ? m_checkedBitmap : m_uncheckedBitmap);
}

void ZELKPictureCtrl::OnClicked()
{
    if (PanelHost* host = PanelHost::Get())
        host->OnPictureClicked(this);
}
