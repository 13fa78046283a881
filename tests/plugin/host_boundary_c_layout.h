/* Sizes and offsets of the boundary records as a C translation unit sees them. */
#ifndef ZUN_CLUBS_TESTS_HOST_BOUNDARY_C_LAYOUT_H_
#define ZUN_CLUBS_TESTS_HOST_BOUNDARY_C_LAYOUT_H_

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The index-th entry of the list in host_boundary_c_layout.c; 0 past its end. */
size_t ZcBoundaryLayoutFromC(int index);

#ifdef __cplusplus
}
#endif

#endif
