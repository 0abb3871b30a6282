#pragma once

// Where the build put the programs and files a test program uses. Each test program links a
// small file of its own, generated with its paths (vantix_test_paths in CMake); every other
// file of the tests then compiles to the same object wherever the tree lies, so one compiler
// cache serves every checkout. A path a program was not given is "".
const char* TestExamplesDir();
const char* TestCliPath();
const char* TestCliOneTransferPath();
const char* TestWithEmulatedPodsPath();
const char* TestWindowPath();
const char* TestUdevRuleFile();
const char* TestChromiumPath();
const char* TestD2xxLibraryPath();
const char* TestD2xxPartialLibraryPath();
const char* TestTomlReference();
const char* TestJobFileCorpus();

#define VANTIX_EXAMPLES_DIR TestExamplesDir()
#define VANTIX_CLI_PATH TestCliPath()
#define VANTIX_CLI_ONE_TRANSFER_PATH TestCliOneTransferPath()
#define WITH_EMULATED_PODS_PATH TestWithEmulatedPodsPath()
#define VANTIX_BINARY TestWindowPath()
#define VANTIX_UDEV_RULE_FILE TestUdevRuleFile()
#define VANTIX_CHROMIUM TestChromiumPath()
#define VANTIX_TEST_D2XX_LIBRARY TestD2xxLibraryPath()
#define VANTIX_TEST_D2XX_PARTIAL_LIBRARY TestD2xxPartialLibraryPath()
#define VANTIX_TOML_REFERENCE TestTomlReference()
#define VANTIX_JOB_FILE_CORPUS TestJobFileCorpus()
