// All shared routine formulas, for the files that build a routine family from them.
#pragma once

#include "math/arithmetic.h"
#include "math/half_float.h"
#include "math/matrix_formulas.h"
#include "math/mesh_kernel_formulas.h"
#include "math/plane_formulas.h"
#include "math/projection_formulas.h"
#include "math/quaternion_formulas.h"
#include "math/vector_formulas.h"
