// The property sheet framework under the platform's sheet: a small sheet of
// two probe pages that count what the framework asks of them.
#include "records/StringTable.h"
#include "res/resource.h"
#include "ui/framework/AppMessageBox.h"
#include "ui/framework/PropertySheet.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace rw {
namespace {

class ProbePage : public CCorePropertyPage {
public:
    ProbePage(UINT templateId, std::vector<UINT>& applied)
        : CCorePropertyPage(templateId), m_applied(applied) {}

    // Binds the page's seconds edit (2 to 10) when set.
    bool validate = false;
    int seconds = 5;
    int inits = 0;

protected:
    void DoDataExchange(CDataExchange& dx) override {
        CCorePropertyPage::DoDataExchange(dx);
        if (!validate)
            return;
        dx.Int(IDC_SECONDS, seconds);
        dx.MinMaxInt(IDC_SECONDS, seconds, 2, 10);
    }
    BOOL OnInitDialog() override {
        ++inits;
        return CCorePropertyPage::OnInitDialog();
    }
    bool OnApply() override {
        m_applied.push_back(GetTemplateId());
        return CCorePropertyPage::OnApply();
    }

private:
    std::vector<UINT>& m_applied;
};

class ProbeSheet : public CCorePropertySheet {
public:
    ProbeSheet() : CCorePropertySheet(IDS_CONFIG_SHEET_CAPTION) {
        AddPage(&first);
        AddPage(&second);
    }
    std::vector<UINT> applied;
    ProbePage first{IDD_CONFIG_GENERAL, applied};
    ProbePage second{IDD_CONFIG_NON_PHONE_BOOK, applied};
};

std::string Text(HWND hWnd) {
    char buffer[256] = {};
    GetWindowTextA(hWnd, buffer, sizeof buffer);
    return buffer;
}

std::string ClassName(HWND hWnd) {
    char buffer[64] = {};
    GetClassNameA(hWnd, buffer, sizeof buffer);
    return buffer;
}

class PropertySheetTest : public testing::Test {
protected:
    void SetUp() override {
        m_previousBox = SetAppMessageBoxHandler([this](HWND, const std::string& text, UINT) {
            messages.push_back(text);
            return IDOK;
        });
    }
    void TearDown() override {
        CCorePropertySheet::SetShownHook(nullptr);
        SetAppMessageBoxHandler(m_previousBox);
    }
    INT_PTR Run(const std::function<void()>& drive) {
        CCorePropertySheet::SetShownHook([&](CCorePropertySheet&) { drive(); });
        return sheet.DoModal();
    }

    ProbeSheet sheet;
    std::vector<std::string> messages;

private:
    AppMessageBoxHandler m_previousBox;
};

TEST_F(PropertySheetTest, NoApplyButtonAndPagesKnowTheirSheet) {
    EXPECT_EQ(sheet.first.GetSheet(), &sheet);
    EXPECT_EQ(sheet.second.GetSheet(), &sheet);
    Run([&] {
        HWND hWnd = sheet.GetSafeHwnd();
        EXPECT_EQ(Text(hWnd), "Ringwarden Configuration");
        HWND apply = GetDlgItem(hWnd, 0x3021);
        EXPECT_TRUE(apply == nullptr || !IsWindowVisible(apply));
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(hWnd, IDOK)));
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(hWnd, IDCANCEL)));
        sheet.PressButton(PSBTN_CANCEL);
    });
}

TEST_F(PropertySheetTest, OkAppliesShownPagesOnlyInTabOrder) {
    EXPECT_EQ(Run([&] { sheet.PressButton(PSBTN_OK); }), IDOK);
    EXPECT_EQ(sheet.applied, std::vector<UINT>{IDD_CONFIG_GENERAL});
    EXPECT_EQ(sheet.second.inits, 0);

    sheet.applied.clear();
    EXPECT_EQ(Run([&] {
                  sheet.SetActivePage(&sheet.second);
                  sheet.PressButton(PSBTN_OK);
              }),
              IDOK);
    EXPECT_EQ(sheet.applied, (std::vector<UINT>{IDD_CONFIG_GENERAL, IDD_CONFIG_NON_PHONE_BOOK}));

    sheet.applied.clear();
    EXPECT_EQ(Run([&] {
                  sheet.SetActivePage(&sheet.second);
                  sheet.PressButton(PSBTN_CANCEL);
              }),
              IDCANCEL);
    EXPECT_TRUE(sheet.applied.empty());
}

TEST_F(PropertySheetTest, ValidationKeepsTheFailingPageInFront) {
    sheet.first.validate = true;
    EXPECT_EQ(Run([&] {
                  SetWindowTextA(sheet.first.GetDlgItem(IDC_SECONDS), "11");
                  sheet.SetActivePage(&sheet.second);
                  EXPECT_EQ(sheet.GetActivePage(), &sheet.first);
                  sheet.PressButton(PSBTN_OK);
                  EXPECT_TRUE(IsWindow(sheet.GetSafeHwnd()));
                  EXPECT_EQ(sheet.GetActivePage(), &sheet.first);
                  // The failing edit has the focus, for the user to mend.
                  EXPECT_EQ(GetFocus(), sheet.first.GetDlgItem(IDC_SECONDS));
                  sheet.PressButton(PSBTN_CANCEL);
              }),
              IDCANCEL);
    EXPECT_EQ(messages, std::vector<std::string>(2, "Please enter an integer between 2 and 10."));
    EXPECT_TRUE(sheet.applied.empty());
}

TEST_F(PropertySheetTest, BannerCarriesItsIcon) {
    Run([&] {
        for (CCorePropertyPage* page : {&sheet.first, &sheet.second}) {
            sheet.SetActivePage(page);
            HWND icon = nullptr;
            for (HWND child = GetWindow(page->GetSafeHwnd(), GW_CHILD); child;
                 child = GetWindow(child, GW_HWNDNEXT))
                if (ClassName(child) == "Static" &&
                    (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
                    icon = child;
            EXPECT_NE(icon, nullptr);
            if (!icon)
                continue;
            EXPECT_NE(SendMessageA(icon, STM_GETICON, 0, 0), 0);
            // At the right end of the banner: 257 units of the page's 290.
            RECT pageRect, iconRect;
            GetWindowRect(page->GetSafeHwnd(), &pageRect);
            GetWindowRect(icon, &iconRect);
            const LONG width = pageRect.right - pageRect.left;
            EXPECT_NEAR(double(iconRect.left - pageRect.left) / width, 257.0 / 290, 0.02);
        }
        sheet.PressButton(PSBTN_CANCEL);
    });
}

} // namespace
} // namespace rw
