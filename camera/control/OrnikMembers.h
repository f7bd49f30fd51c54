#pragma once
// The dispatch interface of the control as one table (see OrnikMembers.cpp).
#include <span>

#include "com/dispatch.h"

namespace ornik {

// What a member answers while the control has no capture window (the table's tag).
enum MissingWindow : int {
  kFailWithoutWindow = 0,   // a long result of E_FAIL
  kEmptyWithoutWindow = 1,  // 0, an empty text, or nothing for a member without result
  kRunsWithoutWindow = 2,   // the member does its work all the same
};

std::span<const com::MemberDecl> MemberDecls();
const com::DispatchTable& Members();

}  // namespace ornik
