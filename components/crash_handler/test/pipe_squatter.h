// Holds an instance of another process's pipe name, as a hostile process of
// the same user could, and tells what the first client that reached it
// sent: for the tests that clients speak only to the server they expect.
// A thread of its own waits for the client, so that the test can start
// one meanwhile.
//
//   PipeSquatter squatter(pipe_name, 30000, 10000);
//   ASSERT_TRUE(squatter.created() && squatter.Start());
//   ... a client runs ...
//   PipeSquatter::Visit visit = squatter.TakeVisit();
//   EXPECT_EQ(0u, visit.bytes_received);

#ifndef COMPONENTS_CRASH_HANDLER_TEST_PIPE_SQUATTER_H_
#define COMPONENTS_CRASH_HANDLER_TEST_PIPE_SQUATTER_H_

#include <windows.h>

#include <stddef.h>

#include <string>

#include "base/threading/simple_thread.h"
#include "base/win/scoped_handle.h"

namespace crash_handler {

class PipeSquatter : public base::SimpleThread {
 public:
  struct Visit {
    bool connected = false;
    // What the client wrote before it closed its end or the wait ended.
    size_t bytes_received = 0;
    // Whether the client closed its end, and how long after connecting.
    bool closed = false;
    ULONGLONG milliseconds_connected = 0;
  };

  // Creates one instance of |pipe_name| at once; Start listens on it. A
  // client is waited for at most |connect_timeout_ms|, then its first
  // message or its end at most |read_timeout_ms|.
  PipeSquatter(const std::wstring& pipe_name,
               DWORD connect_timeout_ms,
               DWORD read_timeout_ms);
  PipeSquatter(const PipeSquatter&) = delete;
  PipeSquatter& operator=(const PipeSquatter&) = delete;
  ~PipeSquatter() override;

  // Whether the instance exists.
  bool created() const { return pipe_.IsValid(); }

  // Waits until the visit is over, or the waits have ended without one.
  Visit TakeVisit();

 private:
  void Run() override;
  // Waits at most |timeout_ms| for |overlapped| and cancels it when it is
  // not done by then; true when it succeeded, with its byte count.
  bool Finish(OVERLAPPED* overlapped, DWORD timeout_ms, DWORD* bytes);

  const DWORD connect_timeout_ms_;
  const DWORD read_timeout_ms_;
  base::win::ScopedHandle pipe_;
  Visit visit_;
};

}  // namespace crash_handler

#endif  // COMPONENTS_CRASH_HANDLER_TEST_PIPE_SQUATTER_H_
