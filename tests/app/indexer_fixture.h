#pragma once
// What the tests of ombrelo-index run as a program share: a folder of its own
// for every run's files and environment, a run that collects the exit code
// and both outputs, Ctrl+C pressed once the run has shown something, and
// readers of its JSON lines and of the files a page links.
#include <gtest/gtest.h>
#include <signal.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QUrl>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/paths.h"
#include "support/debug_capture.h"
#include "workflow_test_support.h"

namespace ombrelo::testing {

struct IndexerResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class IndexerTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::EnsureGuiApplication(); }

  // The environment of every run: the source tree's templates, temporary
  // files and the user's data folder inside this test's folder.
  QProcessEnvironment Environment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("OMBRELO_DATA", OMBRELO_SOURCE_DATA_DIR);
    env.insert("TMPDIR", QString::fromStdString(folder_ / ""));
    env.insert("XDG_DATA_HOME", QString::fromStdString(folder_ / "userdata"));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(folder_ / "config"));
    env.insert("HOME", QString::fromStdString(folder_ / "home"));
    env.remove("OMBRELO_DEBUG");
    for (const auto& [name, value] : extraEnvironment_) env.insert(name, value);
    return env;
  }

  void Start(QProcess& process, const std::vector<std::string>& args) {
    QStringList list;
    for (const std::string& arg : args) list << QString::fromStdString(arg);
    process.setProcessEnvironment(Environment());
    process.setWorkingDirectory(QString::fromStdString(folder_.Path()));
    process.start(OMBRELO_INDEX_BINARY, list);
    ASSERT_TRUE(process.waitForStarted(10000));
  }

  IndexerResult Run(const std::vector<std::string>& args) {
    QProcess process;
    Start(process, args);
    IndexerResult result;
    if (!process.waitForFinished(120000)) {
      ADD_FAILURE() << "ombrelo-index did not finish";
      process.kill();
      process.waitForFinished();
      return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput().toStdString();
    result.err = process.readAllStandardError().toStdString();
    return result;
  }

  // Presses Ctrl+C once every text awaited has been shown; the run then
  // ends by itself with exit code 1 and says so. What it showed.
  std::string Interrupt(QProcess& process, const std::vector<std::string>& awaited) {
    std::string out;
    const auto allShown = [&] {
      for (const std::string& text : awaited) {
        if (!Contains(out, text)) return false;
      }
      return true;
    };
    while (!allShown()) {
      if (!process.waitForReadyRead(60000)) {
        ADD_FAILURE() << out;
        return out;
      }
      out += process.readAllStandardOutput().toStdString();
    }
    EXPECT_EQ(::kill(static_cast<pid_t>(process.processId()), SIGINT), 0);
    EXPECT_TRUE(process.waitForFinished(60000));
    out += process.readAllStandardOutput().toStdString();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(Contains(out, "Interrupted: stopping the capture\n")) << out;
    return out;
  }

  TempFolder folder_{"indexer"};
  std::vector<std::pair<QString, QString>> extraEnvironment_;
};

// The JSON objects of a run's standard output, one a line; a failure for a
// line that is no JSON object.
inline std::vector<QJsonObject> JsonLines(const std::string& out) {
  std::vector<QJsonObject> objects;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
    EXPECT_TRUE(document.isObject()) << line << ": " << error.errorString().toStdString();
    objects.push_back(document.object());
  }
  return objects;
}

// The files an HTML page links to (src and href), as paths: entities and
// percent-escapes decoded, resolved against the page's folder.
inline std::set<std::string> LinkedFiles(const std::string& pagePath) {
  const std::string page = ReadFileBytes(pagePath);
  const std::string folder = paths::FolderOf(pagePath);
  std::set<std::string> files;
  static const std::regex link(R"re((?:src|href)\s*=\s*"([^"]*)")re");
  for (std::sregex_iterator it(page.begin(), page.end(), link), end; it != end; ++it) {
    std::string value = (*it)[1];
    for (const auto& [entity, c] : {std::pair<std::string, std::string>{"&quot;", "\""},
                                    {"&#39;", "'"},
                                    {"&lt;", "<"},
                                    {"&gt;", ">"},
                                    {"&amp;", "&"}}) {
      for (size_t at; (at = value.find(entity)) != std::string::npos;) {
        value.replace(at, entity.size(), c);
      }
    }
    if (value.rfind("http:", 0) == 0 || value.rfind("https:", 0) == 0) continue;
    if (value.rfind("file://", 0) == 0) value.erase(0, 7);
    const std::string decoded =
        QUrl::fromPercentEncoding(QByteArray::fromStdString(value)).toStdString();
    const std::filesystem::path path(decoded);
    files.insert(
        (path.is_absolute() ? path : std::filesystem::path(folder) / path).lexically_normal());
  }
  return files;
}

}  // namespace ombrelo::testing
