// Names each row of a TEST_P table after its `name` field, so a failure
// names the row: INSTANTIATE_TEST_SUITE_P(Set, Test, ValuesIn(kRows), RowName()).
#pragma once

#include <string>

struct RowName {
  template <typename ParamInfo>
  std::string operator()(const ParamInfo& info) const {
    return std::string(info.param.name);
  }
};
