// KOVRA: verifier, redundancy detector and converter for covering designs.
#include "app/entry.hpp"

int main(int argc, char** argv) { return kovra::KovraMain(argc, argv); }
