#include <gtest/gtest.h>
#include <cstring>
#include "afxwin.h"

namespace {

class CTipDlg : public CDialog {
    DECLARE_DYNAMIC(CTipDlg)
public:
    CTipDlg() : CDialog(132) {}
};
IMPLEMENT_DYNAMIC(CTipDlg, CDialog)

// Declares no record of its own, as the About box does.
class CPlainDlg : public CDialog {
public:
    CPlainDlg() : CDialog(100) {}
};

void ExpectRecord(const CRuntimeClass* rc, const char* name, const CRuntimeClass* base)
{
    SCOPED_TRACE(name);
    EXPECT_STREQ(name, rc->m_lpszClassName);
    EXPECT_EQ(0xFFFFu, rc->m_wSchema);
    EXPECT_EQ(nullptr, rc->m_pfnCreateObject);
    EXPECT_EQ(nullptr, rc->CreateObject());
    EXPECT_EQ(base, rc->m_pBaseClass);
}

TEST(RuntimeClass, FrameworkClassesChainToCObject)
{
    ExpectRecord(RUNTIME_CLASS(CObject), "CObject", nullptr);
    ExpectRecord(RUNTIME_CLASS(CCmdTarget), "CCmdTarget", RUNTIME_CLASS(CObject));
    ExpectRecord(RUNTIME_CLASS(CWnd), "CWnd", RUNTIME_CLASS(CCmdTarget));
    ExpectRecord(RUNTIME_CLASS(CDialog), "CDialog", RUNTIME_CLASS(CWnd));
    ExpectRecord(RUNTIME_CLASS(CWinThread), "CWinThread", RUNTIME_CLASS(CCmdTarget));
    ExpectRecord(RUNTIME_CLASS(CWinApp), "CWinApp", RUNTIME_CLASS(CWinThread));
    ExpectRecord(RUNTIME_CLASS(CProgressCtrl), "CProgressCtrl", RUNTIME_CLASS(CWnd));
    EXPECT_EQ(static_cast<int>(sizeof(CDialog)), RUNTIME_CLASS(CDialog)->m_nObjectSize);
    EXPECT_EQ(static_cast<int>(sizeof(CWinApp)), RUNTIME_CLASS(CWinApp)->m_nObjectSize);
}

TEST(RuntimeClass, DeclaredClassHasItsOwnRecordAndOthersAnswerTheBase)
{
    ExpectRecord(RUNTIME_CLASS(CTipDlg), "CTipDlg", RUNTIME_CLASS(CDialog));
    EXPECT_EQ(static_cast<int>(sizeof(CTipDlg)), RUNTIME_CLASS(CTipDlg)->m_nObjectSize);
    EXPECT_EQ(sizeof(CDialog), sizeof(CTipDlg));

    CTipDlg tip;
    const CObject& asObject = tip;
    EXPECT_EQ(RUNTIME_CLASS(CTipDlg), asObject.GetRuntimeClass());
    EXPECT_TRUE(asObject.IsKindOf(RUNTIME_CLASS(CTipDlg)));
    EXPECT_TRUE(asObject.IsKindOf(RUNTIME_CLASS(CDialog)));
    EXPECT_TRUE(asObject.IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(asObject.IsKindOf(RUNTIME_CLASS(CWinApp)));

    CPlainDlg plain;
    EXPECT_EQ(RUNTIME_CLASS(CDialog), plain.GetRuntimeClass());
    EXPECT_FALSE(plain.IsKindOf(RUNTIME_CLASS(CTipDlg)));
}

} // namespace
