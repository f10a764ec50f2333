// snapshot_cell.h - the latest value of one writer, for any number of
// readers, without the writer ever waiting for a reader.
//
// The night publishes its state many times a second while server threads of
// low priority copy it. With a mutex between them, a reader that the system
// preempts inside its copy holds the night up for as long as the reader
// waits for the processor: seconds on a busy machine. Here nothing a reader
// holds can stop the writer:
// - The values live in nodes that are never freed while the cell lives. A
//   reader pins the current node (a count in the node), checks that it is
//   still the current one, copies the value and unpins it.
// - The writer fills a node that is neither current nor pinned, then makes
//   it current. When every node is pinned or current it adds a node, so it
//   never waits; there are never more nodes than readers at once, plus two.
// Publishing writers take a mutex of their own, which no reader touches.
// A reader retries only when a value was published between its two looks.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace vantrel {

template <class T>
class SnapshotCell {
 public:
  explicit SnapshotCell(const T& initial = T()) {
    nodes_.push_back(std::make_unique<Node>());
    nodes_.front()->value = initial;
    current_.store(nodes_.front().get());
  }
  SnapshotCell(const SnapshotCell&) = delete;
  SnapshotCell& operator=(const SnapshotCell&) = delete;

  void publish(const T& value) {
    std::lock_guard<std::mutex> lock(writer_);
    Node* current = current_.load();
    Node* free = nullptr;
    for (const auto& node : nodes_) {
      if (node.get() != current && node->readers.load() == 0) {
        free = node.get();
        break;
      }
    }
    if (free == nullptr) free = nodes_.emplace_back(std::make_unique<Node>()).get();
    free->value = value;
    current_.store(free);
  }

  T read() const {
    for (;;) {
      Node* node = current_.load();
      Pin pin(*node);
      // Pinned before this second look: a node the writer chose to fill is
      // not current until it is full, and a pinned one it does not choose.
      if (current_.load() == node) return node->value;
    }
  }

 private:
  struct Node {
    T value;
    mutable std::atomic<int> readers{0};
  };
  // Unpins also when the copy throws (no memory): a node left pinned would
  // only cost the writer a node more, but it would cost it every time.
  struct Pin {
    explicit Pin(const Node& n) : node(n) { node.readers.fetch_add(1); }
    ~Pin() { node.readers.fetch_sub(1); }
    Pin(const Pin&) = delete;
    Pin& operator=(const Pin&) = delete;
    const Node& node;
  };
  std::mutex writer_;
  std::vector<std::unique_ptr<Node>> nodes_;  // the writer's only
  std::atomic<Node*> current_{nullptr};
};

}  // namespace vantrel
