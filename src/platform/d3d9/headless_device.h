// Presentation parameters for the usual windowed device, and creating a software
// Direct3D 9 device with no window, for programs and libraries that
// only build geometry or render into the back buffer (a consumer of Facet needs a device
// to create meshes on).
#pragma once

#include "springdrop/d3d9/d3d9.h"

namespace d3d9sw {

// Presentation parameters of a windowed device that presents at once and discards its
// back buffer, with a D24S8 depth-stencil buffer. A zero side takes the window's client
// size at creation.
D3DPRESENT_PARAMETERS WindowedPresentParameters(UINT width, UINT height, D3DFORMAT backBufferFormat);

// Creates a windowed software device whose back buffer is `width` x `height` pixels
// (X8R8G8B8, with a D24S8 depth-stencil buffer, software vertex processing) and stores
// one reference to it in `*device`. The device holds its own Direct3D object, so releasing the device is all
// the cleanup a caller owes. With no window to show frames in, Present answers
// D3DERR_INVALIDCALL unless it is given a destination window; drawing works as usual.
//
// D3DERR_INVALIDCALL for a null `device` or a zero width or height; D3DERR_NOTAVAILABLE
// when the Direct3D object cannot be created; otherwise the device creation's own code
// (D3DERR_OUTOFVIDEOMEMORY for a side above 16384). On failure `*device` is set to null
// (when `device` is not null) and nothing stays alive.
HRESULT CreateHeadlessDevice(UINT width, UINT height, IDirect3DDevice9** device);

}  // namespace d3d9sw
