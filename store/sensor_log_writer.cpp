#include "store/sensor_log_writer.h"

#include <algorithm>

#include "base/log.h"
#include "sensors/text.h"
#include "store/file_util.h"

namespace kalorix {

SensorLogWriter::SensorLogWriter(SensorLogFiles& files, size_t capacity)
    : files_(files), capacity_(std::max<size_t>(1, capacity)) {}

SensorLogWriter::~SensorLogWriter() { stop(); }

void SensorLogWriter::start(const SensorLogConfig& config, const LogDate& today) {
    if (thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.clear();
        stopping_ = false;
        const uint64_t folderBytes = status_.folderBytes;
        status_ = SensorLogStatus{};
        status_.running = true;
        status_.folderBytes = folderBytes;
    }
    parts_ = SensorLogParts{};
    accepting_.store(true);
    thread_ = std::thread([this, config, today] { run(config, today); });
}

void SensorLogWriter::stop() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
    accepting_.store(false);
    std::lock_guard<std::mutex> lock(mutex_);
    status_.running = false;
    queue_.clear();
}

bool SensorLogWriter::offer(SensorLogRow&& row) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!accepting_.load() || stopping_) return false;
        if (queue_.size() >= capacity_) {
            ++status_.dropped;
            return false;
        }
        queue_.push_back(std::move(row));
    }
    wake_.notify_one();
    return true;
}

SensorLogStatus SensorLogWriter::status() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return status_;
}

void SensorLogWriter::clearNote() {
    std::lock_guard<std::mutex> lock(mutex_);
    status_.note.clear();
}

uint64_t SensorLogWriter::measureFolder() {
    uint64_t total = 0;
    for (const LogFileEntry& f : files_.list()) total += f.bytes;
    std::lock_guard<std::mutex> lock(mutex_);
    status_.folderBytes = total;
    return total;
}

void SensorLogWriter::fail(LogWriteResult result, const std::string& what) {
    Log(LogLevel::Error, "sensorlog", what);
    accepting_.store(false);
    std::lock_guard<std::mutex> lock(mutex_);
    status_.note = result == LogWriteResult::DiskFull ? kSensorLogDiskFullNote : kSensorLogWriteFailedNote;
    status_.running = false;
    queue_.clear();
}

void SensorLogWriter::run(SensorLogConfig config, LogDate today) {
    std::string error;
    const LogWriteResult made = files_.makeFolder(error);
    if (made != LogWriteResult::Ok) {
        fail(made, "cannot create " + PathText(files_.folder()) + ": " + error);
        return;
    }
    applyRetention(today, config.keepDays);
    measureFolder();
    LogDate lastDay = today;

    for (;;) {
        SensorLogRow row;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) break;  // stopping, everything written
            row = std::move(queue_.front());
            queue_.pop_front();
        }
        // Midnight: the first row of a new day deletes what expired meanwhile.
        if (!(row.time.date == lastDay)) {
            applyRetention(row.time.date, config.keepDays);
            lastDay = row.time.date;
        }
        if (!write(row, config.format)) break;
    }
    files_.close();
}

void SensorLogWriter::applyRetention(const LogDate& today, int keepDays) {
    std::vector<std::wstring> names;
    for (const LogFileEntry& f : files_.list()) names.push_back(f.name);
    for (const std::wstring& name : ExpiredSensorLogFiles(names, today, keepDays)) {
        std::string error;
        if (!files_.remove(name, error)) Log(LogLevel::Warning, "sensorlog", "cannot delete " + WideToUtf8(name) + ": " + error);
    }
}

ExistingLogPart SensorLogWriter::lastPartOf(const LogDate& day, const std::string& start) {
    ExistingLogPart last;
    for (const LogFileEntry& f : files_.list()) {
        const auto id = ParseSensorLogFileName(f.name);
        if (id && id->day == day) last.part = std::max(last.part, id->part);
    }
    if (last.part == 0) return last;
    const auto edges = files_.edges(SensorLogFileName(day, last.part), start.size());
    // A file cut in the middle of a row (a crash) or with another header is left as it is.
    last.continuable = edges && edges->head == start && edges->last == '\n';
    return last;
}

bool SensorLogWriter::write(const SensorLogRow& row, SensorLogFormat format) {
    static const std::vector<SensorLogColumn> kNoColumns;
    const std::vector<SensorLogColumn>& columns = row.columns ? *row.columns : kNoColumns;
    const std::string start = SensorLogFileStart(columns, columns.size(), format);
    const bool firstOfDay = parts_.needsDay(row.time.date);
    const int partBefore = parts_.part();
    const LogTarget target = firstOfDay ? parts_.beginDay(row.time.date, columns.size(), lastPartOf(row.time.date, start))
                                        : parts_.next(columns.size());

    std::string error;
    LogWriteResult result = LogWriteResult::Ok;
    uint64_t bytes = 0;
    if (firstOfDay || parts_.part() != partBefore) result = files_.open(target.file, error);
    if (result == LogWriteResult::Ok && target.create) {
        result = files_.append(start, error);
        bytes += start.size();
    }
    const std::string line = SensorLogRowLine(row.time, columns, row.values, format);
    if (result == LogWriteResult::Ok) {
        result = files_.append(line, error);
        bytes += line.size();
    }
    if (result != LogWriteResult::Ok) {
        parts_.reset();
        fail(result, "cannot write " + WideToUtf8(target.file) + ": " + error);
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++status_.rows;
        status_.folderBytes += bytes;
        status_.file = target.file;
    }
    if (echo_) echo_(SensorLogEchoLine(target.file, row.time, columns, row.values));
    return true;
}

void SensorLogFeed::folded(double now, const std::vector<SensorEntry>& sensors) {
    if (!writer_.accepting()) {
        lastRowAt_.reset();
        return;
    }
    if (!SensorLogRowDue(lastRowAt_, now, intervalS_.load())) return;
    lastRowAt_ = now;
    // The column list is shared by the rows and copied only when a sensor appears.
    if (sensors.size() != columns_->size()) {
        auto grown = std::make_shared<std::vector<SensorLogColumn>>();
        if (sensors.size() > columns_->size()) *grown = *columns_;
        for (size_t i = grown->size(); i < sensors.size(); ++i)
            grown->push_back({sensors[i].id, sensors[i].device, sensors[i].label, sensors[i].kind});
        columns_ = std::move(grown);
    }
    SensorLogRow row;
    row.time = clock_.now();
    row.columns = columns_;
    row.values.resize(sensors.size());
    for (size_t i = 0; i < sensors.size(); ++i)
        if (sensors[i].seenAt == now) row.values[i] = sensors[i].value;
    writer_.offer(std::move(row));
}

SensorLog::SensorLog(std::unique_ptr<SensorLogFiles> files, std::unique_ptr<SensorLogClock> clock)
    : files_(std::move(files)), clock_(std::move(clock)), writer_(*files_), feed_(writer_, *clock_) {
    writer_.measureFolder();
}

SensorLog::~SensorLog() { writer_.stop(); }

void SensorLog::apply(const Settings& s) {
    feed_.setInterval(s.SensorLogIntervalS);
    const SensorLogConfig config{SensorLogFormatOf(s.SensorLogFormat), s.SensorLogDays};
    if (!s.SensorLogEnabled) {
        if (started_) {
            writer_.stop();
            writer_.clearNote();
            writer_.measureFolder();
        }
        started_ = false;
        return;
    }
    if (started_ && config.format == config_.format && config.keepDays == config_.keepDays) return;
    writer_.stop();
    writer_.start(config, clock_->now().date);
    started_ = true;
    config_ = config;
}

}  // namespace kalorix
