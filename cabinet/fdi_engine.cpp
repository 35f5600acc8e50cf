// The cabinet engine behind fdi.h: creating and releasing a context, and
// FDICopy, which runs one copy over a cabinet (fdi_copy_run.h).
#include <new>
#include <string>

#include "cabinet/fdi.h"
#include "cabinet/fdi_context.h"
#include "cabinet/fdi_copy_run.h"

namespace fdi {

using engine::kInputBufferSize;
using engine::kOutputBufferSize;
using engine::CopyRun;

Context* FDICreate(AllocFn alloc, FreeFn free, OpenFn open, ReadFn read, WriteFn write, CloseFn close,
                   SeekFn seek, int cpu_type, ErrorRecord* error) {
  if (error) *error = ErrorRecord();
  if (!alloc || !free || !open || !read || !write || !close || !seek) {
    if (error) {
      error->code = kErrorAllocFail;
      error->error = true;
    }
    return nullptr;
  }
  void* memory = alloc(sizeof(Context));
  uint8_t* input = memory ? static_cast<uint8_t*>(alloc(kInputBufferSize)) : nullptr;
  uint8_t* output = input ? static_cast<uint8_t*>(alloc(kOutputBufferSize)) : nullptr;
  if (!output) {
    if (input) free(input);
    if (memory) free(memory);
    if (error) {
      error->code = kErrorAllocFail;
      error->error = true;
    }
    return nullptr;
  }
  Context* ctx = new (memory) Context();
  ctx->alloc = alloc;
  ctx->free = free;
  ctx->open = open;
  ctx->read = read;
  ctx->write = write;
  ctx->close = close;
  ctx->seek = seek;
  ctx->cpu_type = cpu_type;
  ctx->error = error;
  ctx->input = input;
  ctx->output = output;
  return ctx;
}

bool FDICopy(Context* ctx, const char* cabinet_name, const char* cabinet_folder, int flags, NotifyFn notify,
             DecryptFn decrypt, void* user) {
  if (!ctx || !notify || !cabinet_name) return false;
  if (ctx->error) *ctx->error = ErrorRecord();
  ctx->user = user;
  bool ok = false;
  // The decoders' windows and the block buffers are checked allocations;
  // where exceptions are on (the host), any other failed allocation ends
  // the copy with the same error.
#if __cpp_exceptions
  try {
#endif
    CopyRun run(*ctx, notify, user);
    ok = run.Run(cabinet_folder ? cabinet_folder : "", cabinet_name);
#if __cpp_exceptions
  } catch (const std::bad_alloc&) {
    ctx->decoder.reset();
    ctx->has_decoder_type = false;
    ctx->Fail(kErrorAllocFail);
    ok = false;
  }
#endif
  ctx->CloseHandles();
  return ok;
}

bool FDIDestroy(Context* ctx) {
  if (!ctx) return false;
  ctx->CloseHandles();
  FreeFn free = ctx->free;
  free(ctx->input);
  free(ctx->output);
  ctx->~Context();
  free(ctx);
  return true;
}

const char* ErrorText(int32_t code) {
  switch (code) {
    case kErrorNone: return "no error";
    case kErrorCabinetNotFound: return "cabinet not found";
    case kErrorNotACabinet: return "not a cabinet";
    case kErrorUnknownCabinetVersion: return "unknown cabinet version";
    case kErrorCorruptCabinet: return "corrupt cabinet";
    case kErrorAllocFail: return "out of memory";
    case kErrorBadCompressionType: return "unknown compression type";
    case kErrorDecompressorFailure: return "decompression failed";
    case kErrorTargetFile: return "failure writing the target file";
    case kErrorReserveMismatch: return "reserve sizes differ between cabinets";
    case kErrorWrongCabinet: return "wrong cabinet";
    case kErrorUserAbort: return "aborted";
    default: return "unknown error";
  }
}

}  // namespace fdi
