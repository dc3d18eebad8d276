#include "install/crt_error.h"

namespace VendraClient {
namespace {

struct Mapping {
  uint32_t sysError;
  int crtError;
};

constexpr int kEnoent = 2, kE2big = 7, kEnoexec = 8, kEbadf = 9, kEchild = 10, kEagain = 11,
              kEnomem = 12, kEacces = 13, kEexist = 17, kExdev = 18, kEinval = 22, kEmfile = 24,
              kEnospc = 28, kEpipe = 32, kEnotempty = 41;

constexpr Mapping kMappings[] = {
    {1, kEinval},   {2, kEnoent},    {3, kEnoent},   {4, kEmfile},    {5, kEacces},
    {6, kEbadf},    {7, kEnomem},    {8, kEnomem},   {9, kEnomem},    {10, kE2big},
    {11, kEnoexec}, {12, kEinval},   {13, kEinval},  {15, kEnoent},   {16, kEacces},
    {17, kExdev},   {18, kEnoent},   {33, kEacces},  {53, kEnoent},   {65, kEacces},
    {67, kEnoent},  {80, kEexist},   {82, kEacces},  {83, kEacces},   {87, kEinval},
    {89, kEagain},  {108, kEacces},  {109, kEpipe},  {112, kEnospc},  {114, kEbadf},
    {128, kEchild}, {129, kEchild},  {130, kEbadf},  {131, kEinval},  {132, kEacces},
    {145, kEnotempty}, {158, kEacces}, {161, kEnoent}, {164, kEagain}, {167, kEacces},
    {183, kEexist}, {206, kEnoent},  {215, kEagain}, {1816, kEnomem},
};

}  // namespace

int CrtErrorNumber(uint32_t sysError) {
  if (sysError == 0) return 0;
  for (const Mapping& m : kMappings)
    if (m.sysError == sysError) return m.crtError;
  // Write protection, sharing and lock violations and the other media
  // errors in between all read as access denied.
  if (sysError >= 19 && sysError <= 36) return kEacces;
  if (sysError >= 188 && sysError <= 202) return kEnoexec;
  return kEinval;
}

}  // namespace VendraClient
