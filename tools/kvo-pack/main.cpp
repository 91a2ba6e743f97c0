#include <iostream>

#include "tools/kvo-pack/Cli.h"

int main(int argc, char** argv) {
    return kvopack::runCli(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
