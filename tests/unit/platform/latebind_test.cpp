#include "net/latebind.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "platform/dynlib.h"

namespace {

// Runs BindProcedure and gives the message of the error it raises, or "".
template <typename E>
std::string bindError(void*& slot, const char* lib, const char* fn) {
    try {
        vhb::BindProcedure(slot, lib, fn);
    } catch (const E& e) {
        return e.what();
    }
    return "";
}

TEST(BindProcedure, BindsFromALoadedLibraryAndTheCallGoesThrough) {
    void* slot = nullptr;
    vhb::BindProcedure(slot, "libc.so.6", "strlen");
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(reinterpret_cast<size_t (*)(const char*)>(slot)("heartbeat"), 9u);

    void* cosSlot = nullptr;
    vhb::BindProcedure(cosSlot, "libm.so.6", "cos");
    ASSERT_NE(cosSlot, nullptr);
    EXPECT_EQ(reinterpret_cast<double (*)(double)>(cosSlot)(0.0), 1.0);
}

TEST(BindProcedure, LoadsABareNameFromTheProgramsOwnFolder) {
    // Not on the system's search path, so only the program's folder has it.
    ASSERT_EQ(vhb::platform::findLoadedLibrary(VHB_BIND_PROBE_NAME), nullptr);
    void* slot = nullptr;
    vhb::BindProcedure(slot, VHB_BIND_PROBE_NAME, "vhb_bind_probe_twice");
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(reinterpret_cast<int (*)(int)>(slot)(21), 42);
    // It stays loaded and is found among the loaded ones from now on.
    EXPECT_NE(vhb::platform::findLoadedLibrary(VHB_BIND_PROBE_NAME), nullptr);
}

TEST(BindProcedure, AFilledSlotIsNotLookedUpAgain) {
    int marker = 0;
    void* slot = &marker;
    // Names that could not be bound: no error, because nothing is looked up.
    EXPECT_NO_THROW(vhb::BindProcedure(slot, "libnosuch.so.9", "no_such_fn"));
    EXPECT_EQ(slot, &marker);

    void* bound = nullptr;
    vhb::BindProcedure(bound, "libc.so.6", "strlen");
    void* const first = bound;
    vhb::BindProcedure(bound, "libc.so.6", "strchr");
    EXPECT_EQ(bound, first);
}

TEST(BindProcedure, MissingLibrary) {
    void* slot = nullptr;
    EXPECT_EQ(bindError<vhb::EJwaLoadLibraryError>(slot, "libnosuch.so.9", "strlen"),
              "Library not found: libnosuch.so.9");
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(bindError<vhb::EJwaLoadLibraryError>(slot, "/no/such/folder/libc.so.6", "strlen"),
              "Library not found: /no/such/folder/libc.so.6");
}

TEST(BindProcedure, MissingFunction) {
    void* slot = nullptr;
    EXPECT_EQ(bindError<vhb::EJwaGetProcAddressError>(slot, "libc.so.6", "no_such_fn"),
              "Function not found: libc.so.6.no_such_fn");
    EXPECT_EQ(slot, nullptr);
}

TEST(BindProcedure, ErrorsShareTheirBaseForTheErrorReport) {
    void* slot = nullptr;
    EXPECT_THROW(vhb::BindProcedure(slot, "libnosuch.so.9", "f"), vhb::EJwaError);
    EXPECT_THROW(vhb::BindProcedure(slot, "libc.so.6", "no_such_fn"), vhb::EJwaError);
    EXPECT_THROW(vhb::BindProcedure(slot, "libc.so.6", "no_such_fn"), vhb::Exception);
}

TEST(BindProcedure, AFailedBindingIsTriedAgainAtTheNextCall) {
    void* slot = nullptr;
    EXPECT_THROW(vhb::BindProcedure(slot, "libc.so.6", "no_such_fn"), vhb::EJwaGetProcAddressError);
    EXPECT_THROW(vhb::BindProcedure(slot, "libc.so.6", "no_such_fn"), vhb::EJwaGetProcAddressError);
    vhb::BindProcedure(slot, "libc.so.6", "strlen");
    EXPECT_NE(slot, nullptr);
}

TEST(FindLoadedLibrary, DoesNotLoad) {
    EXPECT_NE(vhb::platform::findLoadedLibrary("libc.so.6"), nullptr);
    EXPECT_EQ(vhb::platform::findLoadedLibrary("libnosuch.so.9"), nullptr);
}

struct CodeCase {
    uint32_t code;
    uint32_t expected;
};

class IsFailureCode : public testing::TestWithParam<CodeCase> {};

TEST_P(IsFailureCode, NegativeMeansFailure) {
    EXPECT_EQ(vhb::IsFailureCode(static_cast<int32_t>(GetParam().code)), GetParam().expected)
        << std::hex << GetParam().code;
}

INSTANTIATE_TEST_SUITE_P(Table, IsFailureCode,
                         testing::Values(CodeCase{0x00000000u, 0u},  // S_OK
                                         CodeCase{0x00000001u, 0u},  // S_FALSE
                                         CodeCase{0x7FFFFFFFu, 0u},
                                         CodeCase{0x80004005u, 0xFFFFFFFFu},  // E_FAIL
                                         CodeCase{0x80000000u, 0xFFFFFFFFu},
                                         CodeCase{0x80070002u, 0xFFFFFFFFu},
                                         CodeCase{0xFFFFFFFFu, 0xFFFFFFFFu}));

}  // namespace
