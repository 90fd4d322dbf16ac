#pragma once

// A test with a folder of its own below the system's temporary folder, for the files the
// code under test reads and writes; removed after the test.

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace tafelix::test {

template <class Base = ::testing::Test> class WithFolder : public Base {
protected:
    void SetUp() override
    {
        dir_ = makeTempDir("tafelix-test");
        ASSERT_FALSE(dir_.empty());
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    std::string dir_;
};

} // namespace tafelix::test
