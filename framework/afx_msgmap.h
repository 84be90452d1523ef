#pragma once
// Message maps: each class that declares one has a table of typed entries,
// chained to its base class's table. Every entry holds a small thunk,
// generated for that entry's handler, that unpacks wParam/lParam into the
// handler's own arguments; a handler of the wrong signature fails to compile.
#include <type_traits>
#include "afx_object.h"

class CCmdTarget;

// Notification code of a command from a menu, an accelerator or a push button.
#define CN_COMMAND 0

#ifndef ID_HELP
#define ID_HELP 0xE146
#endif

typedef LRESULT (*AFX_PMSG_THUNK)(CCmdTarget* pTarget, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;          // window message; 0 ends the table
    UINT nCode;             // WM_COMMAND only: notification code
    UINT nID;               // WM_COMMAND only: first command id
    UINT nLastID;           // WM_COMMAND only: last command id
    AFX_PMSG_THUNK pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

namespace afx_detail {

template <class M> struct MemberOf;
template <class C, class R, class... A> struct MemberOf<R (C::*)(A...)> { typedef C Class; };

template <class T, auto pfn, class Expected>
constexpr bool HandlerFits()
{
    typedef typename MemberOf<decltype(pfn)>::Class C;
    return std::is_same<decltype(pfn), Expected C::*>::value && std::is_base_of<C, T>::value;
}

#define AFX_CHECK_HANDLER(Expected, what)                                         \
    static_assert(HandlerFits<T, pfn, Expected>(),                                 \
                  "message-map handler must be " what " of this class or a base")

template <class T, auto pfn>
LRESULT ThunkCommand(CCmdTarget* p, WPARAM, LPARAM)
{
    AFX_CHECK_HANDLER(void(), "void f()");
    (static_cast<T*>(p)->*pfn)();
    return 0;
}

template <class T, auto pfn>
LRESULT ThunkSysCommand(CCmdTarget* p, WPARAM w, LPARAM l)
{
    AFX_CHECK_HANDLER(void(UINT, LPARAM), "void OnSysCommand(UINT, LPARAM)");
    (static_cast<T*>(p)->*pfn)(static_cast<UINT>(w), l);
    return 0;
}

template <class T, auto pfn>
LRESULT ThunkQueryDragIcon(CCmdTarget* p, WPARAM, LPARAM)
{
    AFX_CHECK_HANDLER(HCURSOR(), "HCURSOR OnQueryDragIcon()");
    return reinterpret_cast<LRESULT>((static_cast<T*>(p)->*pfn)());
}

template <class T, auto pfn>
LRESULT ThunkTimer(CCmdTarget* p, WPARAM w, LPARAM)
{
    AFX_CHECK_HANDLER(void(UINT_PTR), "void OnTimer(UINT_PTR)");
    (static_cast<T*>(p)->*pfn)(static_cast<UINT_PTR>(w));
    return 0;
}

template <class T, auto pfn>
LRESULT ThunkMessage(CCmdTarget* p, WPARAM w, LPARAM l)
{
    AFX_CHECK_HANDLER(LRESULT(WPARAM, LPARAM), "LRESULT f(WPARAM, LPARAM)");
    return (static_cast<T*>(p)->*pfn)(w, l);
}

#undef AFX_CHECK_HANDLER

} // namespace afx_detail

// Finds the first entry for a message (and, for WM_COMMAND, a code and id),
// walking from the given map to its bases.
const AFX_MSGMAP_ENTRY* AfxFindMessageEntry(const AFX_MSGMAP* pMap, UINT nMessage,
                                            UINT nCode, UINT nID);

#define DECLARE_MESSAGE_MAP()                                              \
protected:                                                                 \
    static const AFX_MSGMAP* GetThisMessageMap();                          \
public:                                                                    \
    virtual const AFX_MSGMAP* GetMessageMap() const;                       \
protected:

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                             \
    const AFX_MSGMAP* theClass::GetMessageMap() const                      \
    { return GetThisMessageMap(); }                                        \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                        \
    {                                                                      \
        typedef theClass ThisClass;                                        \
        typedef baseClass TheBaseClass;                                    \
        static_assert(std::is_base_of<TheBaseClass, ThisClass>::value,     \
                      #theClass " does not derive from " #baseClass);      \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                  \
            { 0, 0, 0, 0, nullptr } };                                     \
        static const AFX_MSGMAP messageMap = {                             \
            &TheBaseClass::GetThisMessageMap, &_messageEntries[0] };       \
        return &messageMap;                                                \
    }

#define ON_COMMAND(id, memberFxn)                                          \
    { WM_COMMAND, CN_COMMAND, static_cast<UINT>(id), static_cast<UINT>(id), \
      &::afx_detail::ThunkCommand<ThisClass, memberFxn> },

#define ON_BN_CLICKED(id, memberFxn)                                       \
    { WM_COMMAND, BN_CLICKED, static_cast<UINT>(id), static_cast<UINT>(id), \
      &::afx_detail::ThunkCommand<ThisClass, memberFxn> },

#define ON_MESSAGE(message, memberFxn)                                     \
    { static_cast<UINT>(message), 0, 0, 0,                                 \
      &::afx_detail::ThunkMessage<ThisClass, memberFxn> },

#define ON_WM_SYSCOMMAND()                                                 \
    { WM_SYSCOMMAND, 0, 0, 0,                                              \
      &::afx_detail::ThunkSysCommand<ThisClass, &ThisClass::OnSysCommand> },

#define ON_WM_PAINT()                                                      \
    { WM_PAINT, 0, 0, 0,                                                   \
      &::afx_detail::ThunkCommand<ThisClass, &ThisClass::OnPaint> },

#define ON_WM_QUERYDRAGICON()                                              \
    { WM_QUERYDRAGICON, 0, 0, 0,                                           \
      &::afx_detail::ThunkQueryDragIcon<ThisClass, &ThisClass::OnQueryDragIcon> },

#define ON_WM_TIMER()                                                      \
    { WM_TIMER, 0, 0, 0,                                                   \
      &::afx_detail::ThunkTimer<ThisClass, &ThisClass::OnTimer> },

#define ON_WM_DESTROY()                                                    \
    { WM_DESTROY, 0, 0, 0,                                                 \
      &::afx_detail::ThunkCommand<ThisClass, &ThisClass::OnDestroy> },

// Target of commands: holds the message map that commands are routed through.
class CCmdTarget : public CObject {
    DECLARE_DYNAMIC(CCmdTarget)
public:
    CCmdTarget() = default;

    // Runs the handler that this object's map binds to the command, if any.
    virtual BOOL OnCmdMsg(UINT nID, int nCode);

    DECLARE_MESSAGE_MAP()
};
