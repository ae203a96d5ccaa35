#pragma once

#include "fake_database.h"
#include "fake_spreadsheet.h"
#include "recording_platform.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace testing_support {

// Every window test starts from a program that has not loaded its windows,
// with a first run's settings, fake components, recorded message boxes and
// an empty program folder of its own.
class WindowFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A database whose only login is the one the entries below make.
    void acceptOnly(const QString &database, const QString &user, const QString &password);
    void putEntries(const QString &database, const QString &user, const QString &password);

    std::shared_ptr<FakeDatabase> database = std::make_shared<FakeDatabase>();
    std::shared_ptr<FakeSpreadsheet> spreadsheet = std::make_shared<FakeSpreadsheet>();
    std::shared_ptr<RecordingMessageBoxes> boxes = std::make_shared<RecordingMessageBoxes>();
    std::shared_ptr<RecordingTerminator> terminator = std::make_shared<RecordingTerminator>();
    std::shared_ptr<FakeDesktop> desktop = std::make_shared<FakeDesktop>();
    QTemporaryDir programFolder;
};

} // namespace testing_support
