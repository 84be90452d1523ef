#pragma once
// Root of the framework's class tree and its run-time class records.
#include <windows.h>

class CObject;

// One record per class that declares DECLARE_DYNAMIC: its name, size, schema
// and the record of its base class, so that IsKindOf can walk the chain.
struct CRuntimeClass {
    LPCSTR m_lpszClassName;
    int m_nObjectSize;
    UINT m_wSchema;                       // 0xFFFF: not serialisable
    CObject* (*m_pfnCreateObject)();      // null: not dynamically creatable
    const CRuntimeClass* m_pBaseClass;    // null only for CObject

    BOOL IsDerivedFrom(const CRuntimeClass* pBaseClass) const;
    CObject* CreateObject() const;        // null when the class has no creation function
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name)                                  \
public:                                                              \
    static const CRuntimeClass class##class_name;                    \
    virtual const CRuntimeClass* GetRuntimeClass() const;

#define IMPLEMENT_DYNAMIC(class_name, base_class_name)               \
    const CRuntimeClass class_name::class##class_name = {            \
        #class_name, static_cast<int>(sizeof(class_name)), 0xFFFF,   \
        nullptr, RUNTIME_CLASS(base_class_name) };                   \
    const CRuntimeClass* class_name::GetRuntimeClass() const {       \
        return RUNTIME_CLASS(class_name); }

class CObject {
public:
    static const CRuntimeClass classCObject;
    virtual const CRuntimeClass* GetRuntimeClass() const;
    virtual ~CObject() = default;

    BOOL IsKindOf(const CRuntimeClass* pClass) const;

protected:
    CObject() = default;
    // Framework objects stand for windows and threads: copying one would
    // leave two owners of the same handle.
    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;
};
