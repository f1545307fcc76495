// Static message maps: each class has a table of (message, notification code, control id,
// thunk) entries and a link to its base class's table. A thunk is generated per handler from
// the member pointer itself, so a handler of the wrong signature does not compile.
#pragma once

#include <windows.h>

class CCmdTarget;

typedef LRESULT (*AFX_THUNK)(CCmdTarget* pTarget, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode; // WM_COMMAND: notification code; WM_NOTIFY: NMHDR::code
    UINT nID;   // the control or command id; 0 for plain window messages
    AFX_THUNK pfnThunk;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

class CCmdTarget {
public:
    virtual ~CCmdTarget() {}

    // The entry for a message in this object's map or its bases', or NULL.
    const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT nMessage, UINT nCode, UINT nID) const;

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};

template <class T> struct AfxMemberOf;
template <class C, class R, class... A> struct AfxMemberOf<R (C::*)(A...)> { typedef C Class; };

template <auto pmf> typename AfxMemberOf<decltype(pmf)>::Class* AfxThunkTarget(CCmdTarget* p) {
    return static_cast<typename AfxMemberOf<decltype(pmf)>::Class*>(p);
}

// void OnX()
template <auto pmf> LRESULT AfxThunkVoid(CCmdTarget* p, WPARAM, LPARAM) {
    (AfxThunkTarget<pmf>(p)->*pmf)();
    return 0;
}

// void OnX(NMHDR* pNMHDR, LRESULT* pResult)
template <auto pmf> LRESULT AfxThunkNotify(CCmdTarget* p, WPARAM, LPARAM lParam) {
    LRESULT result = 0;
    (AfxThunkTarget<pmf>(p)->*pmf)(reinterpret_cast<NMHDR*>(lParam), &result);
    return result;
}

// HCURSOR OnQueryDragIcon()
template <auto pmf> LRESULT AfxThunkHandle(CCmdTarget* p, WPARAM, LPARAM) {
    return reinterpret_cast<LRESULT>((AfxThunkTarget<pmf>(p)->*pmf)());
}

// clang-format off
#define DECLARE_MESSAGE_MAP() \
protected: \
    static const AFX_MSGMAP* GetThisMessageMap(); \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass) \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap() { \
        typedef theClass ThisClass; \
        typedef baseClass TheBaseClass; \
        static const AFX_MSGMAP_ENTRY entries[] = {

// The static_assert uses ThisClass, which an empty map would leave unused.
#define END_MESSAGE_MAP() \
            {0, 0, 0, NULL} \
        }; \
        static_assert(sizeof(ThisClass) > 0, "ThisClass names the map's class"); \
        static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, entries}; \
        return &messageMap; \
    }

#define ON_COMMAND(id, memberFxn) \
    {WM_COMMAND, 0, (UINT)(id), &AfxThunkVoid<&ThisClass::memberFxn>},
#define ON_BN_CLICKED(id, memberFxn) ON_COMMAND(id, memberFxn)
#define ON_NOTIFY(code, id, memberFxn) \
    {WM_NOTIFY, (UINT)(code), (UINT)(id), &AfxThunkNotify<&ThisClass::memberFxn>},
#define ON_WM_PAINT() \
    {WM_PAINT, 0, 0, &AfxThunkVoid<&ThisClass::OnPaint>},
#define ON_WM_QUERYDRAGICON() \
    {WM_QUERYDRAGICON, 0, 0, &AfxThunkHandle<&ThisClass::OnQueryDragIcon>},
// clang-format on
