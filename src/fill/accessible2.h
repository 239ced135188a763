#pragma once
// IAccessible2, which MinGW has no header for: its methods in the order of
// its IDL (Accessible2.idl), up to get_states, the only one Vardix calls.

#include <oleacc.h>

namespace vardix {

struct IAccessible2Head : IAccessible {
    virtual HRESULT STDMETHODCALLTYPE get_nRelations(long* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_relation(long index, IUnknown** relation) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_relations(long most, IUnknown** relations, long* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE role(long* role) = 0;
    virtual HRESULT STDMETHODCALLTYPE scrollTo(int type) = 0;
    virtual HRESULT STDMETHODCALLTYPE scrollToPoint(int type, long x, long y) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_groupPosition(long* level, long* similar, long* position) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_states(long* states) = 0;
};

// MinGW's IID_IAccessible is an import of oleacc.dll's data without
// __declspec(dllimport): the name stands for the import's jump stub, whose
// bytes make a GUID nobody answers to.
inline constexpr IID kIidAccessible = {0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr IID kIidAccessible2 = {0xE89F726E, 0xC4F4, 0x4C19, {0xBB, 0x19, 0xB6, 0x47, 0xD7, 0xFA, 0x84, 0x78}};

}  // namespace vardix
