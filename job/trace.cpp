#include "job/trace.h"

#include <atomic>

#include "job/log.h"

namespace JobLayer {

namespace {

std::atomic<uint32_t> g_commandCount{0};
std::atomic<uint32_t> g_variableCount{0};

}  // namespace

JobTraceId JobTraceId::User() { return {"User", 0}; }
JobTraceId JobTraceId::Executor() { return {"Executor", 0}; }
JobTraceId JobTraceId::System() { return {"System", 0}; }
JobTraceId JobTraceId::NextCommand() { return {"Command", g_commandCount.fetch_add(1) + 1}; }
JobTraceId JobTraceId::NextVariable() { return {"Variable", g_variableCount.fetch_add(1) + 1}; }

RawString JobTraceId::Text() const {
  if (number == 0) return name;
  RawString text(name);
  text.AppendChar('#');
  text.AppendNumber(number, 10);
  return text;
}

JobTraceScope::JobTraceScope(char letter, const JobTraceId& caller, const JobTraceId& self, const RawString& text,
                             const RawString& detail)
    : active_(JobLogServer::Instance().Wants(letter)),
      caller_(caller),
      self_(self),
      text_(text),
      detail_(detail),
      result_("Success") {
  if (!active_) return;
  JobLogServer& log = JobLogServer::Instance();
  const RawString selfText = self_.Text();
  const bool summary = letter == 'C' && !detail_.IsEmpty() && log.Wants('P');
  log.Queue(LogEventRecord("Begin", selfText, RawString::Empty()));
  log.Queue(LogLinkRecord(selfText, caller_.Text(), RawString::Empty(), summary ? detail_ : text_));
}

JobTraceScope::~JobTraceScope() {
  if (!active_) return;
  JobLogServer& log = JobLogServer::Instance();
  const RawString selfText = self_.Text();
  log.Queue(LogLinkRecord(selfText, caller_.Text(), "$ ", result_));
  log.Queue(LogEventRecord("End", selfText, RawString::Empty()));
}

void JobTraceScope::SetResult(bool ok) { result_ = ok ? RawString("Success") : RawString("Failed"); }

void JobTraceScope::SetResultText(const RawString& text) { result_ = text; }

}  // namespace JobLayer
