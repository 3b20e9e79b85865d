// The main of every test executable: ctest runs each as one test, so a skipped case must
// not read as a pass. A failure wins; else any skip makes the whole run ctest's skip (77).
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (RUN_ALL_TESTS() != 0) {
        return 1;
    }
    return testing::UnitTest::GetInstance()->skipped_test_count() > 0 ? 77 : 0;
}
