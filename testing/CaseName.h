#pragma once

#include <gtest/gtest.h>

#include <string>

// Names each case of a parameterised suite after its parameter's `name`, so that ctest's list
// and a failure say which case it is rather than printing the parameter's bytes.
struct CaseName {
    template <class Case> std::string operator()(const ::testing::TestParamInfo<Case>& item) const {
        return item.param.name;
    }
};
