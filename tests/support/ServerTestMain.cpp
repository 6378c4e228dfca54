// Entry point of the server test programs: starts the shared test directory
// server once, runs the tests, stops it. SIGPIPE is ignored, as the program
// does: a connection the server closes must fail, not end the process.

#include <cstdio>

#include <gtest/gtest.h>

#include "faults/FaultGuard.h"
#include "support/TestDirectoryServer.h"

int main(int argc, char** argv) {
  util::ignoreBrokenPipeSignal();
  ::testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();

  auto& server = dirtest::TestDirectoryServer::shared();
  if (!server.start()) {
    std::fprintf(stderr, "Cannot start the test directory server.\n%s\n",
                 server.lastError().c_str());
    return 1;
  }
  const int result = RUN_ALL_TESTS();
  server.stop();
  return result;
}
