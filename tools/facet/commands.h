// The subcommands of the facet program. Each takes the arguments after its own name and
// returns the process exit code: 0 on success, 2 for refused arguments.
#pragma once

int RunCpuCommand(int argc, char** argv);
int RunSphereCommand(int argc, char** argv);
