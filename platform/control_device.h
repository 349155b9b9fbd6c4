// A driver's control device, opened by path: synchronous I/O control
// requests, and overlapped ones with cancel for worker threads.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "platform/kernel.h"

namespace zr {

// Usable from several threads at once.
class ControlDevice {
 public:
  // Closes the handle (see Close).
  virtual ~ControlDevice() = default;
  // One synchronous request; `buffer` is its input and its output. 0 or the
  // error.
  virtual std::uint32_t IoControl(std::uint32_t code, std::span<std::uint8_t> buffer) = 0;
  // Starts an overlapped request with `input` and room for `outputLength`
  // bytes of output; `done` is reset and is set when it completes. 0 when
  // it completed at once, ERROR_IO_PENDING, or the error.
  virtual std::uint32_t StartIoControl(std::uint32_t code, std::span<const std::uint8_t> input,
                                       std::size_t outputLength, KernelEvent& done) = 0;
  // The request's result, fetched without waiting: 0 with the output copied
  // into `output` (at most its size), ERROR_IO_INCOMPLETE, or the error.
  virtual std::uint32_t FinishIoControl(std::span<std::uint8_t> output, std::uint32_t& bytes) = 0;
  // Cancels the pending request if the calling thread may: on Windows
  // before Vista only the thread that started it can. A cancelled request
  // completes with ERROR_OPERATION_ABORTED and sets its event.
  virtual void CancelIo() = 0;
  // Refuses new requests and cancels a pending one where this thread may;
  // never waits. A pending request keeps the handle and its buffers until
  // FinishIoControl has given its result (its starter cancels it and waits
  // for the event); then the handle is closed.
  virtual void Close() = 0;
};

class ControlDevices {
 public:
  virtual ~ControlDevices() = default;
  // Opens with read and write access, shared, open-existing; null and
  // `error` set when it cannot be opened.
  virtual std::shared_ptr<ControlDevice> Open(std::string_view path, bool overlapped, std::uint32_t& error) = 0;
};

}  // namespace zr
