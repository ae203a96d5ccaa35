#pragma once

// The program with its real components (Firebird, Calc) and its real
// windows; only message boxes and the end of the program are recorded. Every
// spreadsheet application the program creates is kept, so a test can read
// its workbook back, and its office is ended with the test.

#include "recording_platform.h"
#include "spreadsheet_automation.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace testing_support {

class RealProgramFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Ends the offices of every application kept so far and forgets them.
    void killOffices();

    std::shared_ptr<RecordingMessageBoxes> boxes = std::make_shared<RecordingMessageBoxes>();
    std::shared_ptr<RecordingTerminator> terminator = std::make_shared<RecordingTerminator>();
    std::vector<std::shared_ptr<excel::Application>> applications;
};

} // namespace testing_support
