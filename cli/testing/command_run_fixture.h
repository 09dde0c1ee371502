#pragma once
// The scene of the end-to-end command tests: a scratch folder named after the test,
// holding a host store and a registry file; the settings over that file, a converter
// over the given encodings list, a recording logger (also the help), a scripted
// progress view and a recording message box in force. The scratch folder goes with
// the test.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "encoding/mireo_char_converter.h"
#include "engine/settings_store.h"
#include "engine/testing/recording_logger.h"
#include "hoststore/host_store.h"
#include "platform/posix/registry_file.h"
#include "platform/testing/recording_message_box.h"
#include "platform/testing/scratch_folder.h"
#include "ui/scripted_progress_view.h"

namespace mireo::test {

class CCommandRunTest : public ::testing::Test {
protected:
    CCommandRunTest(const std::string& scratchPrefix, const char* encodingsText)
        : m_base(scratchPrefix), m_scope(m_box) {
        m_app = std::make_unique<CHostApplication>(DefaultHostStoreOptions((m_base / "store.db").string()));
        m_reg = std::make_unique<CRegistryFile>((m_base / "registry.reg").string());
        m_settings = std::make_unique<CSettingsStore>(*m_reg);
        m_converter = MireoCharConverter::FromText(encodingsText);
    }

    // A command's exit status and what it printed.
    struct Result {
        int status;
        std::string out, err;
    };

    CScratchFolder m_base;  // first: the store and the registry file close before it goes
    CRecordingMessageBox m_box;
    CScopedMessageBox m_scope;
    std::unique_ptr<CHostApplication> m_app;
    std::unique_ptr<CRegistryFile> m_reg;
    std::unique_ptr<CSettingsStore> m_settings;
    std::unique_ptr<MireoCharConverter> m_converter;
    CRecordingLogger m_log;
    CScriptedProgressView m_progress;
};

}  // namespace mireo::test
