// The sensor log at work: the feed that turns a fold into a row (on the
// sampling thread, never waiting), the bounded queue, and the writer thread
// that appends and flushes each row to the day's file, starts new parts,
// deletes expired files and stops at the first write error with a short note.
// Portable; the folder and the clock come through SensorLogFiles and
// SensorLogClock (Windows: store/sensor_log_files_win.h).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sensors/sampling_engine.h"
#include "store/sensor_log.h"
#include "store/settings.h"

namespace kalorix {

enum class LogWriteResult { Ok, DiskFull, Failed };

struct LogFileEntry {
    std::wstring name;
    uint64_t bytes = 0;
};

struct LogFileEdges {
    std::string head;  // the first bytes, as many as asked for (fewer in a short file)
    char last = 0;     // the last byte (0 in an empty file)
};

// The folder of the log files. One writer thread opens, appends and closes;
// list() may also be called from another thread.
class SensorLogFiles {
public:
    virtual ~SensorLogFiles() = default;
    virtual std::filesystem::path folder() const = 0;
    // Creates the folder when missing.
    virtual LogWriteResult makeFolder(std::string& error) = 0;
    // The files of the folder (none when it is missing).
    virtual std::vector<LogFileEntry> list() = 0;
    virtual std::optional<LogFileEdges> edges(const std::wstring& name, size_t headBytes) = 0;
    // Opens the file for appending (creating it), closing the one open before.
    virtual LogWriteResult open(const std::wstring& name, std::string& error) = 0;
    // Appends to the open file; on Ok the bytes have reached the device.
    virtual LogWriteResult append(std::string_view bytes, std::string& error) = 0;
    virtual void close() = 0;
    virtual bool remove(const std::wstring& name, std::string& error) = 0;
};

// The folder through the C library and std::filesystem: the native build and
// the portable tests (the Windows layer has its own, store/sensor_log_files_win.h).
std::unique_ptr<SensorLogFiles> MakePortableSensorLogFiles(const std::filesystem::path& folder);

// Local time with its offset, for the rows and for today's date.
class SensorLogClock {
public:
    virtual ~SensorLogClock() = default;
    virtual LocalStamp now() = 0;
};

struct SensorLogRow {
    LocalStamp time;
    SensorLogColumns columns;                    // the sensor list when the row was made
    std::vector<std::optional<double>> values;  // one per column
};

struct SensorLogConfig {
    SensorLogFormat format = SensorLogFormat::Turkish;
    int keepDays = 7;  // 0: keep everything
};

struct SensorLogStatus {
    bool running = false;
    std::wstring note;     // why logging stopped (a write error); empty otherwise
    uint64_t rows = 0;     // rows written since the writer started
    uint64_t dropped = 0;  // rows turned away by the full queue
    uint64_t folderBytes = 0;
    std::wstring file;     // the file rows go to
};

inline constexpr size_t kSensorLogQueueRows = 64;
inline constexpr const wchar_t* kSensorLogDiskFullNote = L"Kayıt durdu: disk dolu.";
inline constexpr const wchar_t* kSensorLogWriteFailedNote = L"Kayıt durdu: kayıt dosyasına yazılamadı.";

class SensorLogWriter {
public:
    explicit SensorLogWriter(SensorLogFiles& files, size_t capacity = kSensorLogQueueRows);
    ~SensorLogWriter();
    SensorLogWriter(const SensorLogWriter&) = delete;
    SensorLogWriter& operator=(const SensorLogWriter&) = delete;

    // Starts the thread, which first deletes the files retention expires as of today.
    void start(const SensorLogConfig& config, const LogDate& today);
    // Writes what is queued, then ends the thread. The note of a failure stays.
    void stop();
    // Takes a row without ever waiting for the disk; false when the queue is
    // full (the row is dropped and counted) or the writer does not run.
    bool offer(SensorLogRow&& row);
    // The writer runs and has not failed: rows are wanted.
    bool accepting() const { return accepting_.load(); }
    SensorLogStatus status() const;
    // Logging was switched off: the note of an earlier failure goes.
    void clearNote();
    // The folder's size now (lists it); also refreshes status().folderBytes.
    uint64_t measureFolder();
    // The test build's record of each row written (SensorLogEchoLine).
    void setEcho(std::function<void(const std::string&)> echo) { echo_ = std::move(echo); }

private:
    void run(SensorLogConfig config, LogDate today);
    void applyRetention(const LogDate& today, int keepDays);
    bool write(const SensorLogRow& row, SensorLogFormat format);
    ExistingLogPart lastPartOf(const LogDate& day, const std::string& start);
    void fail(LogWriteResult result, const std::string& what);

    SensorLogFiles& files_;
    const size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<SensorLogRow> queue_;
    bool stopping_ = false;
    std::thread thread_;
    std::atomic<bool> accepting_{false};
    SensorLogStatus status_;  // under mutex_
    SensorLogParts parts_;    // writer thread only
    std::function<void(const std::string&)> echo_;
};

// The fold observer of the sampling engine: every logging interval it makes
// a row of the sensor list (values of the sensors that reported in this
// cycle) and offers it to the writer. Runs on the sampling thread.
class SensorLogFeed : public FoldObserver {
public:
    SensorLogFeed(SensorLogWriter& writer, SensorLogClock& clock) : writer_(writer), clock_(clock) {}
    // Seconds between rows; 0 means every cycle.
    void setInterval(double seconds) { intervalS_.store(seconds); }
    void folded(double now, const std::vector<SensorEntry>& sensors) override;

private:
    SensorLogWriter& writer_;
    SensorLogClock& clock_;
    std::atomic<double> intervalS_{5.0};
    std::optional<double> lastRowAt_;
    SensorLogColumns columns_ = std::make_shared<const std::vector<SensorLogColumn>>();
};

// What the window owns: the folder, the clock, the writer and the feed, set
// from the settings (SensorLogEnabled, SensorLogFormat, SensorLogIntervalS,
// SensorLogDays) whenever they change.
class SensorLog {
public:
    SensorLog(std::unique_ptr<SensorLogFiles> files, std::unique_ptr<SensorLogClock> clock);
    ~SensorLog();
    // Give it to the sampling engine before it starts.
    FoldObserver* observer() { return &feed_; }
    // Starts the writer when logging is switched on, restarts it for another
    // format or retention, stops it when switched off.
    void apply(const Settings& settings);
    SensorLogStatus status() const { return writer_.status(); }
    std::filesystem::path folder() const { return files_->folder(); }
    void setEcho(std::function<void(const std::string&)> echo) { writer_.setEcho(std::move(echo)); }

private:
    std::unique_ptr<SensorLogFiles> files_;
    std::unique_ptr<SensorLogClock> clock_;
    SensorLogWriter writer_;
    SensorLogFeed feed_;
    bool started_ = false;
    SensorLogConfig config_;
};

}  // namespace kalorix
