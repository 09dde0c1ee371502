#include "addin/win32/shared_dialogs.h"

#include <vector>

#include "addin/lib_kelvo.h"
#include "addin/win32/dialog_view.h"
#include "resources/mireo_resource.h"

namespace mireo {

namespace {

// Loads an icon at 24 x 24 and draws it onto a bitmap of the button face's colour:
// the buttons show bitmaps, so the picture needs a background of its own.
HBITMAP ButtonBitmap(int iconId) {
    constexpr int kSize = 24;
    HICON icon = static_cast<HICON>(
        ::LoadImageW(ResourceModule(), MAKEINTRESOURCEW(iconId), IMAGE_ICON, kSize, kSize, LR_DEFAULTCOLOR));
    if (icon == nullptr) return nullptr;
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, kSize, kSize);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    const RECT r{0, 0, kSize, kSize};
    ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_BTNFACE));
    ::DrawIconEx(dc, 0, 0, icon, kSize, kSize, 0, nullptr, DI_NORMAL);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    ::DestroyIcon(icon);
    return bitmap;
}

class CSelectActionDialog final : public CDialogView {
public:
    explicit CSelectActionDialog(CDlgSelectAction& model) : m_model(model) {}
    ~CSelectActionDialog() override {
        for (HBITMAP b : m_bitmaps) ::DeleteObject(b);
    }

protected:
    const char* Source() const override { return "CDlgSelectAction"; }
    void OnInit() override {
        for (const SelectActionButton& b : SelectActionButtons()) {
            HBITMAP bitmap = ButtonBitmap(b.iconId);
            if (bitmap == nullptr) continue;
            m_bitmaps.push_back(bitmap);
            ::SendMessageW(Item(b.controlId), BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
        }
    }
    void OnCommand(int id, int code) override {
        if (code != BN_CLICKED) return;
        const int end = m_model.OnCommand(id);
        if (end != 0) End(end);
    }

private:
    CDlgSelectAction& m_model;
    std::vector<HBITMAP> m_bitmaps;  // owned, deleted with the dialog
};

class CDebugDialog final : public CDialogView {
public:
    explicit CDebugDialog(CLibKelvo& kelvo) : m_kelvo(kelvo) {}

protected:
    const char* Source() const override { return "CDlgDebug"; }
    void OnCommand(int id, int code) override {
        if (code != BN_CLICKED) return;
        if (id == IDC_DEBUG_OPEN_TOPIC)
            m_kelvo.ShowContextHelp(Text(IDC_DEBUG_TOPIC));
        else if (id == IDOK || id == IDCANCEL)
            End(id);
    }

private:
    CLibKelvo& m_kelvo;
};

}  // namespace

int CSelectActionDialogView::Run(CDlgSelectAction& dialog, void* parent) {
    CSelectActionDialog view(dialog);
    const INT_PTR result = view.DoModal(static_cast<HWND>(parent), IDD_SELECT_ACTION);
    return result == -1 || result == 0 ? kSelectCannotShow : static_cast<int>(result);
}

int ShowDebugDialog(CLibKelvo& kelvo, HWND owner) {
    CDebugDialog view(kelvo);
    return static_cast<int>(view.DoModal(owner, IDD_DEBUG));
}

}  // namespace mireo
