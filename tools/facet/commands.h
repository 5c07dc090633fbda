// The subcommands of the facet program. Each takes the arguments after its own name and
// returns the process exit code: 0 on success, 1 when the work failed (out of memory
// included), 2 for refused arguments, input or outputs. What a command prints on
// standard output is flushed and checked by the command; main closes it.
#pragma once

int RunAdjacencyCommand(int argc, char** argv);
int RunCleanCommand(int argc, char** argv);
int RunConvertCommand(int argc, char** argv);
int RunCpuCommand(int argc, char** argv);
int RunInfoCommand(int argc, char** argv);
int RunNormalsCommand(int argc, char** argv);
int RunOptimizeCommand(int argc, char** argv);
int RunSphereCommand(int argc, char** argv);
