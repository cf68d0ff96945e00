// SPDX-License-Identifier: MIT
#include "tools/dataserver/DataServer.h"

#include <cstdio>

int main(int argc, char** argv)
{
    std::string error;
    auto options = dataserver::parseArguments(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "quarrin-dataserver: %s\n%s", error.c_str(), dataserver::usage().c_str());
        return 2;
    }
    return dataserver::run(*options);
}
