// The subcommands of the facet program. Each takes the arguments after its own name and
// returns the process exit code: 0 on success, 2 for refused arguments or input.
#pragma once

int RunAdjacencyCommand(int argc, char** argv);
int RunConvertCommand(int argc, char** argv);
int RunCpuCommand(int argc, char** argv);
int RunInfoCommand(int argc, char** argv);
int RunNormalsCommand(int argc, char** argv);
int RunSphereCommand(int argc, char** argv);
