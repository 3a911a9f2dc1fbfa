#include "win32/Win32Form.h"

#include "engine/PieceSet.h"
#include "win32/ControlIds.h"
#include "win32/Win32Artwork.h"
#include "window/FormLayout.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

namespace tren::win32 {

namespace {

namespace Layout = tren::FormLayout;

// Each control of the form as a Win32 control, in the form's stored order.
struct Win32Control {
    const Layout::Control& Drawn;
    ControlId Id;
    const char* ClassName;
    DWORD Style;
    DWORD ExtendedStyle;
};

constexpr Win32Control Controls[] = {
    {Layout::txtSrcFile, IdTxtSrcFile, "EDIT", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    {Layout::fltbBuild, IdFltbBuild, "BUTTON", WS_TABSTOP | BS_OWNERDRAW, 0},
    {Layout::fltbTren, IdFltbTren, "BUTTON", WS_TABSTOP | BS_OWNERDRAW, 0},
    {Layout::ProgressBar1, IdProgressBar1, PROGRESS_CLASSA, 0, 0},
    {Layout::cmbSize, IdCmbSize, "COMBOBOX",
     WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 0},
    {Layout::lstFiles, IdLstFiles, "LISTBOX",
     WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE},
    {Layout::lblLink, IdLblLink, "STATIC", SS_NOTIFY, 0},
    {Layout::Label2, IdLabel2, "STATIC", 0, 0},
    {Layout::Label1, IdLabel1, "STATIC", 0, 0},
};
static_assert(std::size(Controls) == Layout::Controls.size(), "every control of the form");

// Twips become pixels as dialog units do, through the font the window uses; a
// higher DPI stretches the layout with the font.
struct Scale {
    int averageWidth = Layout::ReferenceCharWidth;
    int height = Layout::ReferenceCharHeight;
    int X(int twips) const {
        return ::MulDiv(twips, averageWidth, Layout::ReferenceCharWidth * Layout::TwipsPerPixel);
    }
    int Y(int twips) const {
        return ::MulDiv(twips, height, Layout::ReferenceCharHeight * Layout::TwipsPerPixel);
    }
};

Scale ScaleOf(HWND window, HFONT font) {
    Scale scale;
    const HDC dc = ::GetDC(window);
    const HGDIOBJ old = ::SelectObject(dc, font);
    TEXTMETRICA metrics{};
    SIZE extent{};
    const auto sample = Layout::AverageCharSample;
    const int length = static_cast<int>(sample.size());
    if (::GetTextMetricsA(dc, &metrics) &&
        ::GetTextExtentPoint32A(dc, sample.data(), length, &extent)) {
        // Rounded to the nearest pixel.
        scale.averageWidth = (extent.cx * 2 / length + 1) / 2;
        scale.height = metrics.tmHeight;
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(window, dc);
    return scale;
}

// Entry points of later Windows versions, looked up so that the program still
// starts where they are missing.
UINT DpiOf(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow && window)
        if (const UINT dpi = getDpiForWindow(window); dpi > 0)
            return dpi;
    const HDC dc = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
    ::ReleaseDC(nullptr, dc);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

// The system's message font at the window's DPI.
HFONT MessageFont(UINT dpi) {
    using ForDpiFn = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
    static const auto forDpi = reinterpret_cast<ForDpiFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("user32.dll"), "SystemParametersInfoForDpi")));
    // The wide record: the narrow one is not taken at a DPI.
    NONCLIENTMETRICSW wide{};
    wide.cbSize = sizeof wide;
    if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof wide, &wide, 0, dpi))
        return ::CreateFontIndirectW(&wide.lfMessageFont);
    // Older systems give it at the system's DPI only: scaled from there.
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    if (!::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    metrics.lfMessageFont.lfHeight = ::MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi),
                                              static_cast<int>(DpiOf(nullptr)));
    return ::CreateFontIndirectA(&metrics.lfMessageFont);
}

// The flat buttons' own font: MS Sans Serif, 8.25 points, weight 400, character
// set 177.
HFONT ButtonFont(UINT dpi) {
    return ::CreateFontA(-::MulDiv(825, static_cast<int>(dpi), 7200), 0, 0, 0, 400, FALSE, FALSE,
                         FALSE, 177, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
}

Win32Form* FormOf(HWND window) {
    return reinterpret_cast<Win32Form*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
}

// The path box: every character typed is offered to the form's key handler,
// which refuses it; paste, cut, clear, undo and the Delete key are refused too.
// Selecting and copying still work.
LRESULT CALLBACK PathBoxProc(HWND box, UINT message, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR data) {
    auto& form = *reinterpret_cast<frmTren*>(data);
    switch (message) {
    case WM_CHAR: {
        auto key = static_cast<std::int16_t>(w);
        form.txtSrcFile_KeyPress(key);
        if (key == 0) {
            if (w == 3) // Ctrl+C
                ::SendMessageA(box, WM_COPY, 0, 0);
            return 0;
        }
        return ::DefSubclassProc(box, message, static_cast<WPARAM>(key), l);
    }
    case WM_PASTE:
    case WM_CUT:
    case WM_CLEAR:
    case WM_UNDO:
    case EM_UNDO:
        return 0;
    case WM_KEYDOWN:
        // The edit control pastes on Shift+Insert itself, without a WM_PASTE.
        if (w == VK_DELETE || (w == VK_INSERT && (::GetKeyState(VK_SHIFT) & 0x8000)))
            return 0;
        break;
    }
    return ::DefSubclassProc(box, message, w, l);
}

bool IsEnter(const MSG* message) {
    return message && (message->message == WM_KEYDOWN || message->message == WM_CHAR) &&
           message->wParam == (message->message == WM_KEYDOWN ? VK_RETURN : '\r');
}

// A flat button is drawn raised while the mouse is over it. Enter clicks it when
// it has the focus, as Space does: an owner-drawn button is no push button to the
// dialog keys, which would send Enter to a default button the window has not.
LRESULT CALLBACK FlatButtonProc(HWND button, UINT message, WPARAM w, LPARAM l, UINT_PTR,
                                DWORD_PTR data) {
    auto* hot = reinterpret_cast<HWND*>(data);
    switch (message) {
    case WM_GETDLGCODE:
        if (IsEnter(reinterpret_cast<const MSG*>(l)))
            return DLGC_WANTMESSAGE | DLGC_BUTTON;
        break;
    case WM_KEYDOWN:
        // Held down, the key repeats: one click only.
        if (w == VK_RETURN) {
            if ((l & (1 << 30)) == 0)
                ::SendMessageA(::GetParent(button), WM_COMMAND,
                               MAKEWPARAM(::GetDlgCtrlID(button), BN_CLICKED),
                               reinterpret_cast<LPARAM>(button));
            return 0;
        }
        break;
    case WM_CHAR:
        if (w == '\r')
            return 0;
        break;
    case WM_UPDATEUISTATE:
        // The focus rectangle shows once the keyboard is used.
        ::InvalidateRect(button, nullptr, TRUE);
        break;
    case WM_MOUSEMOVE:
        if (*hot != button) {
            if (*hot)
                ::InvalidateRect(*hot, nullptr, TRUE);
            *hot = button;
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, button, 0};
            ::TrackMouseEvent(&track);
            ::InvalidateRect(button, nullptr, TRUE);
        }
        break;
    case WM_MOUSELEAVE:
        if (*hot == button) {
            *hot = nullptr;
            ::InvalidateRect(button, nullptr, TRUE);
        }
        break;
    }
    return ::DefSubclassProc(button, message, w, l);
}

} // namespace

Win32Form::Win32Form(FormServices services, FolderPicker& folderPicker)
    : window_(folderPicker),
      form_({window_, textBox_, comboBox_, listBox_, progressBar_, commonDialog_, label_},
            services) {}

Win32Form::~Win32Form() {
    if (window_.Handle)
        ::DestroyWindow(window_.Handle);
    for (HGDIOBJ object : {static_cast<HGDIOBJ>(windowFont_), static_cast<HGDIOBJ>(buttonFont_),
                           static_cast<HGDIOBJ>(background_)})
        if (object)
            ::DeleteObject(object);
    for (HICON icon : {buildPicture_, trenPicture_})
        if (icon)
            ::DestroyIcon(icon);
}

HWND Win32Form::Item(int id) const {
    return ::GetDlgItem(window_.Handle, id);
}

void Win32Form::AddTooltip(HWND control, std::string_view text) {
    // The tooltip control keeps a copy of the text.
    std::string copy(text);
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window_.Handle;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = copy.data();
    ::SendMessageA(tooltips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void Win32Form::Create(HINSTANCE instance) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadArtworkIcon(Artwork::WindowIcon, ::GetSystemMetrics(SM_CXICON));
    windowClass.hIconSm = LoadArtworkIcon(Artwork::WindowIcon, ::GetSystemMetrics(SM_CXSMICON));
    windowClass.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // the arrow
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = MainWindowClass;
    ::RegisterClassExA(&windowClass);

    // The toolkit's default frame and Windows' default place; the size follows the
    // font, once the window knows its DPI.
    window_.Handle = ::CreateWindowExA(
        WS_EX_CONTROLPARENT, MainWindowClass, std::string(Layout::WindowCaption).c_str(),
        WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
        nullptr, instance, this);
    commonDialog_.Owner = window_.Handle;
    progressBar_.Window = window_.Handle;

    // In the form's stored order.
    for (const Win32Control& control : Controls)
        ::CreateWindowExA(
            control.ExtendedStyle, control.ClassName, std::string(control.Drawn.Caption).c_str(),
            WS_CHILD | WS_VISIBLE | control.Style, 0, 0, 0, 0, window_.Handle,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.Id)), instance, nullptr);
    textBox_.Handle = Item(IdTxtSrcFile);
    fltbBuild_ = Item(IdFltbBuild);
    fltbTren_ = Item(IdFltbTren);
    progressBar_.Handle = Item(IdProgressBar1);
    comboBox_.Handle = Item(IdCmbSize);
    listBox_.Handle = Item(IdLstFiles);
    label_.Handle = Item(IdLblLink);
    label2_ = Item(IdLabel2);
    label1_ = Item(IdLabel1);

    // The keyboard follows the z-order: the controls go in by tab index (the labels
    // and the bar take no focus).
    std::vector<const Win32Control*> byTabIndex;
    for (const Win32Control& control : Controls)
        byTabIndex.push_back(&control);
    std::ranges::sort(byTabIndex, {}, [](const Win32Control* c) { return c->Drawn.TabIndex; });
    HWND after = HWND_TOP;
    for (const Win32Control* control : byTabIndex) {
        const HWND handle = Item(control->Id);
        ::SetWindowPos(handle, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = handle;
    }

    ::SetWindowSubclass(textBox_.Handle, PathBoxProc, 1, reinterpret_cast<DWORD_PTR>(&form_));
    for (HWND button : {fltbBuild_, fltbTren_})
        ::SetWindowSubclass(button, FlatButtonProc, 1, reinterpret_cast<DWORD_PTR>(&hotButton_));

    tooltips_ = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  window_.Handle, nullptr, instance, nullptr);
    for (const Win32Control& control : Controls)
        if (!control.Drawn.ToolTip.empty())
            AddTooltip(Item(control.Id), control.Drawn.ToolTip);
    // The size box's field covers most of it.
    if (const HWND field = ::GetWindow(comboBox_.Handle, GW_CHILD))
        AddTooltip(field, Layout::cmbSize.ToolTip);

    background_ = ::CreateSolidBrush(::GetSysColor(COLOR_BTNFACE));
    LayOut(DpiOf(window_.Handle));
    // Focus rectangles hide until the keyboard is used.
    ::SendMessageA(window_.Handle, WM_CHANGEUISTATE, MAKEWPARAM(UIS_INITIALIZE, 0), 0);
    ::DragAcceptFiles(window_.Handle, TRUE);
}

void Win32Form::LayOut(UINT dpi) {
    dpi_ = dpi;
    const HFONT oldWindowFont = windowFont_, oldButtonFont = buttonFont_;
    windowFont_ = MessageFont(dpi);
    buttonFont_ = ButtonFont(dpi);
    const Scale scale = ScaleOf(window_.Handle, windowFont_);

    for (HWND control :
         {textBox_.Handle, comboBox_.Handle, listBox_.Handle, label_.Handle, label1_, label2_})
        ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_), FALSE);
    for (HWND button : {fltbBuild_, fltbTren_})
        ::SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont_), FALSE);
    ::SendMessageA(tooltips_, WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_), FALSE);

    // A combo box's height takes in its open list: room for every size, and one
    // row more.
    const int itemHeight =
        static_cast<int>(::SendMessageA(comboBox_.Handle, CB_GETITEMHEIGHT, 0, 0));
    const int listHeight = static_cast<int>(pieces::SizeTable.size() + 1) *
                               (itemHeight > 0 ? itemHeight : scale.height) +
                           2;
    for (const Win32Control& control : Controls) {
        const Layout::Twips& at = control.Drawn.At;
        ::MoveWindow(Item(control.Id), scale.X(at.Left), scale.Y(at.Top), scale.X(at.Width),
                     scale.Y(at.Height) + (control.Id == IdCmbSize ? listHeight : 0), TRUE);
    }

    // The pictures as drawn, 32 pixels; DrawIconEx scales them to the button.
    if (!buildPicture_)
        buildPicture_ = LoadArtworkIcon(Artwork::BuildPicture, 32);
    if (!trenPicture_)
        trenPicture_ = LoadArtworkIcon(Artwork::TrenPicture, 32);

    // The client area as drawn, with the frame around it.
    RECT frame{0, 0, scale.X(Layout::ClientArea.Width), scale.Y(Layout::ClientArea.Height)};
    ::AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_CONTROLPARENT);
    ::SetWindowPos(window_.Handle, nullptr, 0, 0, frame.right - frame.left,
                   frame.bottom - frame.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(window_.Handle, nullptr, TRUE);
    listBox_.FitWidth();

    for (HFONT font : {oldWindowFont, oldButtonFont})
        if (font)
            ::DeleteObject(font);
}

void Win32Form::Show(int how) {
    ::ShowWindow(window_.Handle, how);
    ::UpdateWindow(window_.Handle);
}

template <class Handler> void Win32Form::RunOperation(Handler handler) {
    if (running_)
        return;
    running_ = true;
    handler();
    running_ = false;
    MSG dropped;
    while (::PeekMessageA(&dropped, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE))
        ;
    while (::PeekMessageA(&dropped, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE))
        ;
    while (::PeekMessageA(&dropped, nullptr, WM_DROPFILES, WM_DROPFILES, PM_REMOVE))
        ::DragFinish(reinterpret_cast<HDROP>(dropped.wParam));
}

void Win32Form::DropFiles(HDROP drop) {
    // The paths come as UTF-8, the narrow code page the manifest asks for.
    std::vector<std::string> paths;
    const UINT count = ::DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = ::DragQueryFileA(drop, i, nullptr, 0);
        std::string path(length + 1, '\0');
        ::DragQueryFileA(drop, i, path.data(), length + 1);
        path.resize(length);
        paths.push_back(std::move(path));
    }
    ::DragFinish(drop);
    RunOperation([&] { form_.Form_DropFiles(paths); });
}

void Win32Form::OnCommand(int id, int code) {
    switch (id) {
    case IdFltbTren:
        if (code == BN_CLICKED)
            RunOperation([this] { form_.fltbTren_Click(); });
        break;
    case IdFltbBuild:
        if (code == BN_CLICKED)
            RunOperation([this] { form_.fltbBuild_Click(); });
        break;
    case IdCmbSize:
        // Only an entry chosen from the list is a click; typing is not, and what
        // was typed goes with the focus.
        if (code == CBN_SELCHANGE)
            comboBox_.Chosen();
        else if (code == CBN_KILLFOCUS)
            comboBox_.ShowChosen();
        break;
    case IdLblLink:
        if (code == STN_CLICKED)
            form_.lblLink_Click();
        break;
    }
}

void Win32Form::DrawFlatButton(const DRAWITEMSTRUCT& item) {
    const HDC dc = item.hDC;
    RECT face = item.rcItem;
    ::FillRect(dc, &face, ::GetSysColorBrush(COLOR_BTNFACE));
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    if (pressed)
        ::DrawEdge(dc, &face, BDR_SUNKENOUTER, BF_RECT);
    else if (item.hwndItem == hotButton_)
        ::DrawEdge(dc, &face, BDR_RAISEDINNER, BF_RECT);

    // The picture above the caption, both centred: the largest of the picture's
    // sizes that leaves the caption room.
    const HICON picture = item.CtlID == IdFltbBuild ? buildPicture_ : trenPicture_;
    const HGDIOBJ oldFont = ::SelectObject(dc, buttonFont_);
    char caption[64] = {};
    ::GetWindowTextA(item.hwndItem, caption, sizeof caption);
    RECT text{};
    ::DrawTextA(dc, caption, -1, &text, DT_CALCRECT | DT_SINGLELINE);
    const int textHeight = text.bottom - text.top;
    int size = 0;
    for (const int pixels : {32, 24, 16}) {
        size = ::MulDiv(pixels, static_cast<int>(dpi_), 96);
        if (size + textHeight + 4 <= face.bottom - face.top)
            break;
    }
    const int shift = pressed ? 1 : 0;
    const int top = face.top + ((face.bottom - face.top) - size - textHeight) / 2 + shift;
    if (picture)
        ::DrawIconEx(dc, face.left + ((face.right - face.left) - size) / 2 + shift, top, picture,
                     size, size, 0, nullptr, DI_NORMAL);
    RECT line{face.left + shift, top + size, face.right + shift, top + size + textHeight};
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc,
                   ::GetSysColor(item.itemState & ODS_DISABLED ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    ::DrawTextA(dc, caption, -1, &line, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
    ::SelectObject(dc, oldFont);
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
        RECT focus = face;
        ::InflateRect(&focus, -3, -3);
        ::DrawFocusRect(dc, &focus);
    }
}

LRESULT CALLBACK Win32Form::WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<Win32Form*>(reinterpret_cast<CREATESTRUCTA*>(l)->lpCreateParams);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
        form->window_.Handle = window;
    }
    if (Win32Form* form = FormOf(window))
        return form->Handle(message, w, l);
    return ::DefWindowProcA(window, message, w, l);
}

LRESULT Win32Form::Handle(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(w), HIWORD(w));
        return 0;
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(l);
        if (item.CtlType == ODT_BUTTON) {
            DrawFlatButton(item);
            return TRUE;
        }
        break;
    }
    case WM_CTLCOLORSTATIC: {
        const HDC dc = reinterpret_cast<HDC>(w);
        ::SetBkMode(dc, TRANSPARENT);
        // The link in the highlight colour (system colour 13).
        ::SetTextColor(dc, ::GetSysColor(reinterpret_cast<HWND>(l) == label_.Handle
                                             ? COLOR_HIGHLIGHT
                                             : COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_SETCURSOR:
        // The hand over the link, its hot spot at the fingertip.
        if (reinterpret_cast<HWND>(w) == label_.Handle)
            if (const HCURSOR hand = label_.Cursor()) {
                ::SetCursor(hand);
                return TRUE;
            }
        break;
    case WM_DPICHANGED: {
        LayOut(HIWORD(w));
        const auto* suggested = reinterpret_cast<const RECT*>(l);
        ::SetWindowPos(window_.Handle, nullptr, suggested->left, suggested->top, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_SETTINGCHANGE:
        // A new message font places the controls anew.
        if (w == SPI_SETNONCLIENTMETRICS)
            LayOut(dpi_);
        break;
    case WM_DROPFILES:
        DropFiles(reinterpret_cast<HDROP>(w));
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcA(window_.Handle, message, w, l);
}

} // namespace tren::win32
