#pragma once
// Runs one member of the dispatch interface on the control, after the member table has checked
// and coerced the arguments (see OrnikDispatch.cpp).
#include <cstdint>

#include "com/dispatch.h"

class COrnikCtrl;

namespace ornik {

// The missing-window answer, the reference checks, then the member's route. Returns the call's own
// result; the member's value goes to `value`.
com::HRESULT DispatchMember(COrnikCtrl& ctl, const com::Member& member, const com::Args& args,
                            com::Variant& value, std::uint32_t* argError);

// Whether a route exists for member `id` (every member of the table has one).
bool HasRoute(com::DISPID id);

}  // namespace ornik
