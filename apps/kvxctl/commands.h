// The commands of kvxctl; each returns its exit code.
#pragma once

#include <string>
#include <vector>

namespace kvxctl {

using Args = std::vector<std::string>;

int Install(const Args& args);
int Uninstall(const Args& args);
int List(const Args& args);
int Info(const Args& args);
int Registers(const Args& args);
int Vendor(const Args& args);
int Pipes(const Args& args);
int Read(const Args& args);
int Write(const Args& args);
int Wait(const Args& args);
int Cancel(const Args& args);
int Scan(const Args& args);

}  // namespace kvxctl
