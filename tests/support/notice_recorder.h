#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "async/v_async_listeners.h"
#include "common/text/utf.h"
#include "json/object.h"

namespace VendraTest {

// One notice a job's listener heard.
struct HeardNotice {
  std::string kind;  // "started", "progress", "succeeded" or "failed"
  VendraClient::VAsync* sender = nullptr;
  int32_t code = 0;
  std::u16string text;
  // Progress only.
  std::string filename;
  int64_t receivedChunk = -1;
  int64_t receivedTotal = -1;
  int64_t totalSize = -1;
  std::vector<std::u16string> keys;  // the progress object's members, in order
};

// The listener of the suites: keeps every notice, from whichever thread it
// comes; lives on the heap.
class NoticeRecorder final : public VendraClient::VAsyncListenerCounted {
 public:
  static NoticeRecorder* Create(std::atomic<int>* destroyed = nullptr) {
    return new NoticeRecorder(destroyed);
  }

  void OnStarted(VendraClient::VAsync* job) override { Keep(Notice("started", job)); }
  void OnProgress(VendraClient::VAsync* job, VendraJSON::VSJObject* progress) override {
    HeardNotice notice = Notice("progress", job);
    std::u16string filename;
    progress->GetString(u"filename", filename);
    notice.filename = VendraText::Utf16ToUtf8(filename);
    progress->GetInteger(u"received_chunk", notice.receivedChunk);
    progress->GetInteger(u"received_total", notice.receivedTotal);
    progress->GetInteger(u"total_size", notice.totalSize);
    for (size_t i = 0; i < progress->Count(); ++i) notice.keys.emplace_back(progress->KeyAt(i));
    progress->Release();
    Keep(std::move(notice));
  }
  void OnSucceeded(VendraClient::VAsync* job, int32_t code, const char16_t* text) override {
    Keep(Notice("succeeded", job, code, text));
  }
  void OnFailed(VendraClient::VAsync* job, int32_t code, const char16_t* text) override {
    Keep(Notice("failed", job, code, text));
  }

  std::vector<HeardNotice> Notices() {
    std::lock_guard<std::mutex> locked(mutex_);
    return notices_;
  }
  // The kinds in order, progress runs folded into one "progress".
  std::vector<std::string> Outline() {
    std::vector<std::string> outline;
    for (const HeardNotice& notice : Notices()) {
      if (notice.kind == "progress" && !outline.empty() && outline.back() == "progress") continue;
      outline.push_back(notice.kind);
    }
    return outline;
  }
  // Each notice as "kind", an ending with its code and any text after it.
  std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    for (const HeardNotice& n : Notices()) {
      const bool ending = n.kind == "succeeded" || n.kind == "failed";
      std::string line = ending ? n.kind + " " + std::to_string(n.code) : n.kind;
      if (!n.text.empty()) line += " " + VendraText::Utf16ToUtf8(n.text);
      lines.push_back(line);
    }
    return lines;
  }
  size_t Count(const std::string& kind) {
    size_t count = 0;
    for (const HeardNotice& n : Notices()) count += n.kind == kind;
    return count;
  }
  // The last notice of the kind; an empty one when none came.
  HeardNotice Last(const std::string& kind) {
    HeardNotice last;
    for (const HeardNotice& n : Notices())
      if (n.kind == kind) last = n;
    return last;
  }
  // The progress notices' received_chunk members added up.
  int64_t ChunksTotal() {
    int64_t total = 0;
    for (const HeardNotice& n : Notices())
      if (n.kind == "progress") total += n.receivedChunk;
    return total;
  }

 private:
  explicit NoticeRecorder(std::atomic<int>* destroyed) : destroyed_(destroyed) {}
  ~NoticeRecorder() override {
    if (destroyed_) ++*destroyed_;
  }
  static HeardNotice Notice(std::string kind, VendraClient::VAsync* job, int32_t code = 0,
                            const char16_t* text = nullptr) {
    HeardNotice notice;
    notice.kind = std::move(kind);
    notice.sender = job;
    notice.code = code;
    // A text where none belongs shows up as a marker.
    if (text) notice.text = notice.kind == "succeeded" ? u"(text)" : text;
    return notice;
  }
  void Keep(HeardNotice notice) {
    std::lock_guard<std::mutex> locked(mutex_);
    notices_.push_back(std::move(notice));
  }

  std::mutex mutex_;
  std::vector<HeardNotice> notices_;
  std::atomic<int>* destroyed_;
};

}  // namespace VendraTest
