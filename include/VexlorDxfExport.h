// Symbol visibility of the DXF library: what its classes and functions are exported with.
// SPDX-License-Identifier: MIT
#pragma once

// VEXLOR_DXF_BUILDING is set while the library itself is compiled; VEXLOR_DXF_STATIC by a
// consumer of a static build. Everything else sees the import side.
#if defined(VEXLOR_DXF_STATIC)
#define VEXLOR_DXF_API
#elif defined(_WIN32)
#if defined(VEXLOR_DXF_BUILDING)
#define VEXLOR_DXF_API __declspec(dllexport)
#else
#define VEXLOR_DXF_API __declspec(dllimport)
#endif
#else
#define VEXLOR_DXF_API __attribute__((visibility("default")))
#endif
