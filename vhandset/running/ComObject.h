#pragma once

#include <windows.h>

#include <objbase.h>

#include <filesystem>

struct IRAPISession;

// Objects of this DLL alive now, and factory locks: the DLL may unload when it is 0.
extern LONG g_objects;

#pragma GCC diagnostic push
// The interfaces have no destructor: an object is deleted by its own Release, through this
// class's virtual destructor, never through an interface pointer.
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// One COM interface implemented with a reference count; the object deletes itself with its
// last reference.
template <typename Interface> class ComObject : public Interface {
public:
    explicit ComObject(const IID& iid) : m_iid(iid) { ::InterlockedIncrement(&g_objects); }
    virtual ~ComObject() { ::InterlockedDecrement(&g_objects); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == m_iid) {
            *out = static_cast<Interface*>(this);
            this->AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(::InterlockedIncrement(&m_refs));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG refs = ::InterlockedDecrement(&m_refs);
        if (refs == 0)
            delete this;
        return static_cast<ULONG>(refs);
    }

private:
    const IID& m_iid;
    LONG m_refs = 1;
};

#pragma GCC diagnostic pop

// A session with the running handset whose state lives in `folder`, with one reference.
IRAPISession* NewVirtualSession(const std::filesystem::path& folder);
