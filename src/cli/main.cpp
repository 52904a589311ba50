#include "cli/clx.h"

#include <iostream>

int main(int argc, char** argv) { return clx::cli::Run(argc, argv, std::cout, std::cerr); }
