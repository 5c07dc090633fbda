// The arguments of `facet sphere`: parsed into the sphere's options, each refused value
// named in one line on standard error ("facet sphere: why").
#pragma once

#include "springdrop/d3d9/d3d9.h"

#include <cfloat>
#include <string>

// The values the library reads as "use the default".
constexpr float kDefaultRadiusSelector = FLT_MAX;
constexpr UINT kDefaultCountSelector = 0xFFFFFFFF;

struct SphereOptions {
    float radius = kDefaultRadiusSelector;
    UINT slices = kDefaultCountSelector;
    UINT stacks = kDefaultCountSelector;
    bool normals = false;
    bool adjacency = false;
    bool index32 = false;
    bool list = false;
    const char* objPath = nullptr;
    const char* plyPath = nullptr;
};

// Prints "facet sphere: WHY" and returns false.
bool RefuseSphere(const std::string& why);

// Fills `options` (or only `*help` for --help); false after printing one line about the
// first refused argument.
bool ParseSphereArguments(int argc, char** argv, SphereOptions* options, bool* help);
