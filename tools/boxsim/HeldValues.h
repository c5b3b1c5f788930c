#pragma once
// Every velk-boxsim quantity held at a fixed value (--force NAME=VALUE each): tests and
// benchmarks get the same readings every time, and no vote ever needs a third read.

#include <string>
#include <vector>

namespace velk::boxsim {

inline std::vector<std::string> HeldValueArguments() {
    std::vector<std::string> args;
    for (const char* held :
         {"temp1=-180.5", "setpoint1=-180", "temp2=-191.2", "setpoint2=-190", "alarmlow=-198",
          "power=37", "vacuum=1e-5", "pump=0", "valve=1", "level=42.5"}) {
        args.emplace_back("--force");
        args.emplace_back(held);
    }
    return args;
}

} // namespace velk::boxsim
