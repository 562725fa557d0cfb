#include "ui/ToolTips.h"

#include <commctrl.h>

#include "core/PluginInstance.h"
#include "data/ItemList.h"
#include "data/Utf8.h"
#include "ui/Paint.h"

namespace {

// Shown over Add Item when it can add nothing more; the tooltip only reads it.
const wchar_t FullListTip[] = L"The list is full (50 entries)";
// A label's whole text, as the tooltip shows it.
wchar_t TipText[TextUnits];

} // namespace

// Every label and the button are tools of one tooltip. Their text is asked
// for each time the tip is about to show (TTN_GETDISPINFO), so it follows
// edits, style changes and the entry count without any bookkeeping.
void EnsureToolTip(PluginInstance& p) {
    if (p.toolTip || !p.mainWindow) return;
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_BAR_CLASSES};
    InitCommonControlsEx(&classes);
    // TTS_ALWAYSTIP: the tool window is rarely the active one. The tip has
    // no owner: a topmost tip owned by the window keeps the window from being
    // made topmost again. It is destroyed with the window set.
    p.toolTip =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, p.module, nullptr);
    for (ListItem* item = ListHead; item; item = item->next)
        AddToolTip(item->label);
    AddToolTip(p.addButton);
}

void AddToolTip(HWND tool) {
    PluginInstance* p = ThePlugin;
    if (!p->toolTip || !tool) return;
    TOOLINFOW info = {};
    // The size older comctl32 versions accept as well.
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = p->mainWindow;
    info.uId = reinterpret_cast<UINT_PTR>(tool);
    info.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(p->toolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

namespace {

// A label's tip is its whole text, and only when the label shows it cut;
// the button's says when the list is full. An empty text shows no tip.
void OnToolTipText(NMTTDISPINFOW* tip) {
    HWND tool = reinterpret_cast<HWND>(tip->hdr.idFrom);
    tip->szText[0] = '\0';
    tip->lpszText = tip->szText;
    if (tool == ThePlugin->addButton) {
        if (ItemCount >= MaxItems) tip->lpszText = const_cast<wchar_t*>(FullListTip);
        return;
    }
    ListItem* item = FindItem(tool);
    if (item && item->label == tool && IsCaptionCut(tool, item->text)) {
        WidenText(item->text, TipText, TextUnits);
        tip->lpszText = TipText;
    }
}

} // namespace

LRESULT OnToolTipNotify(const NMHDR* header) {
    if (header && header->hwndFrom == ThePlugin->toolTip && header->code == TTN_GETDISPINFOW)
        OnToolTipText(reinterpret_cast<NMTTDISPINFOW*>(const_cast<NMHDR*>(header)));
    return 0;
}

void HideToolTipOf(HWND tool) {
    PluginInstance* p = ThePlugin;
    if (!p || !p->toolTip || !tool) return;
    TOOLINFOW info = {};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    if (SendMessageW(p->toolTip, TTM_GETCURRENTTOOLW, 0, reinterpret_cast<LPARAM>(&info)) &&
        info.uId == reinterpret_cast<UINT_PTR>(tool))
        SendMessageW(p->toolTip, TTM_POP, 0, 0);
}

// A destroyed label must not stay a tool: its handle could come back as
// another window's. A tip showing for it goes with it.
void RemoveToolTip(HWND tool) {
    PluginInstance* p = ThePlugin;
    if (!p || !p->toolTip || !tool) return;
    HideToolTipOf(tool);
    TOOLINFOW info = {};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.hwnd = p->mainWindow;
    info.uId = reinterpret_cast<UINT_PTR>(tool);
    SendMessageW(p->toolTip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void DestroyToolTip(PluginInstance& p) {
    if (p.toolTip) DestroyWindow(p.toolTip);
    p.toolTip = nullptr;
}
