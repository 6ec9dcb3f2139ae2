#pragma once

// Constants shared by the whole program.
namespace GenericConst {

// Release shown by "--version" and in the usage text.
inline constexpr const char* RELEASE = "1.24";

// Protocol versions this program speaks.
inline constexpr int Table_ProtocollVersionsSupported[] = {100};

}  // namespace GenericConst
