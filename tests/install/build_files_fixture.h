#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "common/memory/ref_ptr.h"
#include "install/v_build_client.h"
#include "json/array.h"
#include "json/object.h"
#include "tests/support/sha256_hex.h"
#include "tests/support/temp_folder.h"

// Shared pieces of the build client's file tests: real folders, file entries
// made from real content, and a machine root of their own for the lock.
namespace VendraTest {

using ObjectRef = Vendra::RefPtr<VendraJSON::VSJObject>;
using ArrayRef = Vendra::RefPtr<VendraJSON::VSJArray>;

// The zlib stream of bytes at a level, as the codec writes it.
std::string Compress(const std::string& bytes, int level = 7);

// A file entry as the service lists it, describing content and its ".z" form.
ObjectRef MakeEntry(const std::string& name, const std::string& content);
ArrayRef MakeList(std::initializer_list<VendraJSON::VSJValue*> values);

// The array element i as an object (no reference of its own).
VendraJSON::VSJObject* EntryAt(const VendraJSON::VSJArray* list, size_t i);
std::string Text(const VendraJSON::VSJObject* object, const char16_t* key);
// folder joined with a relative name by the product's own path rule, as UTF-8.
std::string Joined(const TempFolder& folder, const char* relative);
int64_t Number(const VendraJSON::VSJObject* object, const char16_t* key);

// Points VENDRA_MACHINE_ROOT at one folder for the whole test program, so the
// session lock the client takes is the program's own.
void UseTestMachineRoot();

class BuildFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { UseTestMachineRoot(); }

  VendraClient::VBuildClient client_;
  TempFolder install_;
  TempFolder download_;
};

}  // namespace VendraTest
