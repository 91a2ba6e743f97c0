// The command line of kvo-pack, apart from main() so that tests can run it.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kvopack {

// Exit codes: 0 done, 1 the work failed, 2 the command line is wrong.
int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kvopack
