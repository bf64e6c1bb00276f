#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <type_traits>
#include <utility>
#include <vector>

namespace kelvane {

// Memory for the records of one site list. A large log gives a list hundreds of megabytes of
// attempts and events, written once while it is read. Taken from the system 4 KiB at a time,
// each page costs a page fault, which on virtual machines outweighs the reading itself; here the
// memory comes in large regions marked for huge pages where the system offers them, and is
// handed out front to back. Nothing is given back before the arena goes, with its list.
//
// One list is filled by one thread at a time, so nothing here is synchronised.
class ModelArena {
public:
    ModelArena() = default;
    ~ModelArena();
    ModelArena(const ModelArena&) = delete;
    ModelArena& operator=(const ModelArena&) = delete;

    // bytes of memory aligned to 64 bytes, valid while the arena lives.
    void* Allocate(std::size_t bytes);

private:
    struct Region {
        void* base;
        std::size_t size;
    };
    std::vector<Region> regions_;
    char* next_ = nullptr;  // the free rest of the last region
    char* end_ = nullptr;
    std::size_t nextRegionSize_ = std::size_t{2} << 20;
};

// A growing array of plain records kept in chunks that never move: appending never copies what
// is there, and references to elements stay valid. The first chunks double in size (16, 16, 32,
// 64 and 128 elements), the rest hold 256 each, so short arrays stay small. Chunks come
// from an arena when one is given (and go with it), else from the heap.
template <typename T>
class ChunkedArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    using value_type = T;
    using size_type = std::size_t;
    using difference_type = std::ptrdiff_t;

    template <bool Const>
    class Iterator {
        using Owner = std::conditional_t<Const, const ChunkedArray, ChunkedArray>;

    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = std::conditional_t<Const, const T*, T*>;
        using reference = std::conditional_t<Const, const T&, T&>;

        Iterator() = default;
        Iterator(Owner* owner, std::size_t index) : owner_(owner), index_(index) { Reload(); }
        operator Iterator<true>() const { return Iterator<true>(owner_, index_); }

        reference operator*() const { return *at_; }
        pointer operator->() const { return at_; }
        reference operator[](difference_type n) const { return (*owner_)[Shift(n)]; }

        // Steps within a chunk move a pointer; the chunk is looked up again only at its end.
        Iterator& operator++() {
            ++index_;
            if (++at_ == chunkEnd_) Reload();
            return *this;
        }
        Iterator operator++(int) {
            Iterator old = *this;
            ++*this;
            return old;
        }
        Iterator& operator--() { return *this -= 1; }
        Iterator operator--(int) {
            Iterator old = *this;
            *this -= 1;
            return old;
        }
        Iterator& operator+=(difference_type n) {
            index_ = Shift(n);
            Reload();
            return *this;
        }
        Iterator& operator-=(difference_type n) { return *this += -n; }
        friend Iterator operator+(Iterator it, difference_type n) { return it += n; }
        friend Iterator operator+(difference_type n, Iterator it) { return it += n; }
        friend Iterator operator-(Iterator it, difference_type n) { return it -= n; }
        friend difference_type operator-(const Iterator& a, const Iterator& b) {
            return static_cast<difference_type>(a.index_) - static_cast<difference_type>(b.index_);
        }
        friend bool operator==(const Iterator& a, const Iterator& b) { return a.index_ == b.index_; }
        friend auto operator<=>(const Iterator& a, const Iterator& b) { return a.index_ <=> b.index_; }

    private:
        std::size_t Shift(difference_type n) const {
            return static_cast<std::size_t>(static_cast<difference_type>(index_) + n);
        }
        void Reload() {
            if (owner_ == nullptr || index_ >= owner_->size_) {
                at_ = chunkEnd_ = nullptr;
                return;
            }
            const auto [chunk, offset] = Locate(index_);
            at_ = owner_->chunks_[chunk] + offset;
            chunkEnd_ = owner_->chunks_[chunk] + ChunkSize(chunk);
        }

        Owner* owner_ = nullptr;
        std::size_t index_ = 0;
        pointer at_ = nullptr;
        pointer chunkEnd_ = nullptr;
    };
    using iterator = Iterator<false>;
    using const_iterator = Iterator<true>;

    explicit ChunkedArray(ModelArena* arena = nullptr) : arena_(arena) {}
    ~ChunkedArray() {
        if (!arena_) {
            for (T* chunk : chunks_) ::operator delete(chunk);
        }
    }
    ChunkedArray(const ChunkedArray&) = delete;
    ChunkedArray& operator=(const ChunkedArray&) = delete;

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    T& operator[](std::size_t i) {
        const auto [chunk, offset] = Locate(i);
        return chunks_[chunk][offset];
    }
    const T& operator[](std::size_t i) const {
        const auto [chunk, offset] = Locate(i);
        return chunks_[chunk][offset];
    }
    T& back() { return *(tail_ - 1); }
    const T& back() const { return *(tail_ - 1); }

    iterator begin() { return iterator(this, 0); }
    iterator end() { return iterator(this, size_); }
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, size_); }

    void push_back(const T& value) {
        if (tail_ == chunkEnd_) AddChunk();
        *tail_++ = value;
        ++size_;
    }

    // Appends count records in their order.
    void append(const T* first, std::size_t count) {
        while (count > 0) {
            if (tail_ == chunkEnd_) AddChunk();
            const auto room = static_cast<std::size_t>(chunkEnd_ - tail_);
            const std::size_t n = count < room ? count : room;
            std::memcpy(static_cast<void*>(tail_), first, n * sizeof(T));
            tail_ += n;
            first += n;
            size_ += n;
            count -= n;
        }
    }

    // The records in chunks, for loops that run over many: chunk c holds Chunk(c).
    std::size_t ChunkCount() const { return chunks_.size(); }
    std::pair<const T*, std::size_t> Chunk(std::size_t c) const {
        const std::size_t start = ChunkStart(c);
        return {chunks_[c], std::min(ChunkSize(c), size_ - start)};
    }

    // Copies every record out, in order, into out (which is resized).
    void CopyTo(std::vector<T>& out) const {
        out.resize(size_);
        std::size_t done = 0;
        for (std::size_t c = 0; done < size_; ++c) {
            const std::size_t n = std::min(ChunkSize(c), size_ - done);
            std::memcpy(static_cast<void*>(out.data() + done), chunks_[c], n * sizeof(T));
            done += n;
        }
    }

    // Overwrites the records with as many from in, in order.
    void CopyFrom(const std::vector<T>& in) {
        std::size_t done = 0;
        for (std::size_t c = 0; done < size_; ++c) {
            const std::size_t n = std::min(ChunkSize(c), size_ - done);
            std::memcpy(static_cast<void*>(chunks_[c]), in.data() + done, n * sizeof(T));
            done += n;
        }
    }

private:
    static constexpr unsigned kFirstShift = 4;
    static constexpr unsigned kLastShift = 8;
    static constexpr std::size_t kFirst = std::size_t{1} << kFirstShift;  // elements of the first chunk
    static constexpr std::size_t kLast = std::size_t{1} << kLastShift;    // elements of every full-size chunk
    static constexpr std::size_t kLadder = kLastShift - kFirstShift;      // chunks that double after the first

    static std::size_t ChunkSize(std::size_t chunk) {
        if (chunk == 0) return kFirst;
        return chunk <= kLadder ? kFirst << (chunk - 1) : kLast;
    }

    static std::size_t ChunkStart(std::size_t chunk) {
        if (chunk == 0) return 0;
        return chunk <= kLadder ? kFirst << (chunk - 1) : kLast * (chunk - kLadder);
    }

    // The chunk of element i and its place there.
    static std::pair<std::size_t, std::size_t> Locate(std::size_t i) {
        if (i < kFirst) return {0, i};
        if (i < kLast) {
            const auto width = static_cast<std::size_t>(std::bit_width(i));
            return {width - kFirstShift, i - (std::size_t{1} << (width - 1))};
        }
        return {(i >> kLastShift) + kLadder, i & (kLast - 1)};
    }

    void AddChunk() {
        const std::size_t n = ChunkSize(chunks_.size());
        void* memory = arena_ ? arena_->Allocate(n * sizeof(T)) : ::operator new(n * sizeof(T));
        chunks_.push_back(static_cast<T*>(memory));
        tail_ = chunks_.back();
        chunkEnd_ = tail_ + n;
    }

    ModelArena* arena_;
    std::vector<T*> chunks_;
    T* tail_ = nullptr;  // where the next record goes, in the last chunk
    T* chunkEnd_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace kelvane
