// The owning device-object pointer: exactly one Release per reference it holds, none for
// a reference it was handed by Put, an AddRef per copy and none per move.
#include "springdrop/d3d9/com_ptr.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

struct CountedObject {
    int references = 1;  // as a creation function hands it out
    int addRefs = 0;
    int releases = 0;
    unsigned long AddRef() {
        ++addRefs;
        return static_cast<unsigned long>(++references);
    }
    unsigned long Release() {
        ++releases;
        return static_cast<unsigned long>(--references);
    }
};

void Create(CountedObject* object, CountedObject** out) { *out = object; }

TEST(ComPtr, PutAdoptsTheCreatedReferenceAndResetReleasesItOnce) {
    CountedObject object;
    {
        d3d9sw::ComPtr<CountedObject> pointer;
        Create(&object, pointer.Put());
        EXPECT_EQ(pointer.Get(), &object);
        EXPECT_EQ(object.addRefs, 0);
        pointer.Reset();
        EXPECT_EQ(pointer, nullptr);
        pointer.Reset();  // holding nothing, it releases nothing
    }
    EXPECT_EQ(object.releases, 1);
    EXPECT_EQ(object.references, 0);
}

TEST(ComPtr, PutReleasesTheReferenceHeldBefore) {
    CountedObject first;
    CountedObject second;
    d3d9sw::ComPtr<CountedObject> pointer;
    Create(&first, pointer.Put());
    Create(&second, pointer.Put());
    EXPECT_EQ(first.releases, 1);
    EXPECT_EQ(second.releases, 0);
    EXPECT_EQ(pointer.Get(), &second);
}

TEST(ComPtr, CopiesAddAReferenceAndMovesHandItOver) {
    CountedObject object;
    {
        d3d9sw::ComPtr<CountedObject> owner;
        Create(&object, owner.Put());
        d3d9sw::ComPtr<CountedObject> copy = owner;
        EXPECT_EQ(object.addRefs, 1);
        d3d9sw::ComPtr<CountedObject> moved = std::move(copy);
        EXPECT_EQ(copy, nullptr);
        EXPECT_EQ(object.addRefs, 1);
        owner = std::move(moved);  // the same object: one reference goes
        EXPECT_EQ(object.releases, 1);
        EXPECT_EQ(owner.Get(), &object);
    }
    EXPECT_EQ(object.references, 0);
    EXPECT_EQ(object.releases, 2);
}

}  // namespace
