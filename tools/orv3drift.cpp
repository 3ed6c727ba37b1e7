// ORV3DRIFT: the watch's rate over days from the record of readings.
#include "tools/tools.h"

int main(int argc, char** argv) { return drift_tool(argc, argv); }
