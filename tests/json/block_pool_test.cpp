#include "json/block_pool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "json/parser.h"
#include "json/value.h"
#include "json_test_util.h"

using namespace VendraJSON;

TEST(BlockPool, BlocksOfEverySizeAreDistinctAndWritable) {
  std::vector<std::pair<char*, size_t>> blocks;
  for (size_t bytes = 1; bytes <= BlockPool::kLargestPooled + 64; bytes += 7) {
    for (int copy = 0; copy < 3; ++copy) {
      auto* p = static_cast<char*>(BlockPool::Allocate(bytes));
      std::memset(p, static_cast<int>(bytes & 0xFF), bytes);
      blocks.emplace_back(p, bytes);
    }
  }
  for (const auto& [p, bytes] : blocks) {
    for (size_t i = 0; i < bytes; ++i) ASSERT_EQ(static_cast<unsigned char>(p[i]), bytes & 0xFF);
    BlockPool::Free(p, bytes);
  }
}

TEST(BlockPool, TreesMadeOnOneThreadAreReleasedOnAnother) {
  // Trees pass between threads with their references (jobs hand results to
  // the main thread); the blocks must come back safely, also after the
  // making threads have ended.
  constexpr int kThreads = 4;
  std::vector<VSJValue*> trees(kThreads * 50, nullptr);
  std::vector<std::thread> makers;
  for (int t = 0; t < kThreads; ++t) {
    makers.emplace_back([t, &trees] {
      for (int i = 0; i < 50; ++i) {
        std::u16string error;
        ParseValueA("{\"files\":[{\"filename\":\"a/b.dll\",\"size\":1},{\"sha256\":\"00\"}],\"n\":1.5}",
                    &trees[t * 50 + i], error);
      }
    });
  }
  for (auto& m : makers) m.join();
  std::thread releaser([&trees] {
    for (VSJValue* tree : trees) {
      ASSERT_NE(tree, nullptr);
      EXPECT_EQ(VendraJSONTest::CompactA(*tree),
                "{\"files\":[{\"filename\":\"a/b.dll\",\"size\":1},{\"sha256\":\"00\"}],\"n\":1.50}");
      tree->Release();
    }
  });
  releaser.join();
  // The freed blocks are used again by the next trees.
  for (int i = 0; i < 1000; ++i) {
    VSJValue* tree = nullptr;
    std::u16string error;
    ASSERT_TRUE(ParseValueA("[{\"k\":\"v\"},2,3.0,\"text\"]", &tree, error));
    EXPECT_EQ(VendraJSONTest::CompactA(*tree), "[{\"k\":\"v\"},2,3.0,\"text\"]");
    tree->Release();
  }
}
