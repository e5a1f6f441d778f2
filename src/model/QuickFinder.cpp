#include "QuickFinder.h"

#include "Datum.h"
#include "Document.h"

#include <new>
#include <utility>

namespace tessary {

namespace {

// Items a step of the scan or the copy handles between two looks at the clock.
constexpr std::size_t kStepItems = 4096;

using Clock = std::chrono::steady_clock;

std::span<CCategory* const> RootsOf(CTessaryDoc& doc)
{
    CategoryList& roots = doc.GetRootList();
    return { roots.begin(), roots.size() };
}

} // namespace

struct CQuickFinder::Lookup {
    std::uint64_t id = 0;
    CQuickQuery query;
    std::shared_ptr<std::atomic<bool>> cancel = std::make_shared<std::atomic<bool>>(false);
    bool sent = false; // given to the worker
    bool scanOnly = false; // the index cannot answer it
    std::unique_ptr<CQuickScan> scan; // while there is no index
    std::optional<std::vector<CItem*>> result;
};

struct CQuickFinder::Task {
    enum class Kind { Batch, Finish, Query, Release };
    Kind kind = Kind::Batch;
    // Building: the build it belongs to, the item count, the batch.
    std::uint64_t generation = 0;
    std::size_t itemCount = 0;
    bool remarksComplete = true;
    CIndexBatch batch;
    // Asking.
    std::uint64_t lookupId = 0;
    std::shared_ptr<const CNameIndex> index;
    CQuickQuery query;
    std::shared_ptr<std::atomic<bool>> cancel;
};

// The worker thread: builds indexes from the batches it is given and asks
// them. It shares nothing with the library's thread but its task queue and
// its two outboxes, all behind one mutex, and the number of the build that
// counts.
class CQuickFinder::Worker {
public:
    struct Built {
        std::uint64_t generation = 0;
        std::shared_ptr<const CNameIndex> index; // null: the build failed
    };
    struct Answer {
        std::uint64_t lookupId = 0;
        std::vector<CItem*> rows; // the handles, made rows here (never followed)
        bool unanswerable = false;
    };

    explicit Worker(std::function<void()> wake)
        : m_wake(std::move(wake))
        , m_thread([this] { Run(); })
    {
    }
    ~Worker()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_ready.notify_all();
        m_thread.join();
    }

    void Post(Task task)
    {
        {
            std::lock_guard lock(m_mutex);
            if (task.kind == Task::Kind::Batch)
                ++m_pendingBatches;
            m_tasks.push_back(std::move(task));
        }
        m_ready.notify_one();
    }
    // True when the copying should pause for the worker to catch up; the
    // worker then wakes the library's thread when it took the next batch.
    bool Throttle()
    {
        std::lock_guard lock(m_mutex);
        if (m_pendingBatches < kMaxPendingBatches)
            return false;
        m_wakeOnBatch = true;
        return true;
    }
    void SetGeneration(std::uint64_t generation) { m_generation.store(generation); }

    std::optional<Built> TakeBuilt()
    {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_built, std::nullopt);
    }
    std::optional<Answer> TakeAnswer()
    {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_answer, std::nullopt);
    }

private:
    void Run()
    {
        for (;;) {
            Task task;
            {
                std::unique_lock lock(m_mutex);
                m_ready.wait(lock, [this] { return m_stop || !m_tasks.empty(); });
                if (m_stop)
                    return;
                task = std::move(m_tasks.front());
                m_tasks.pop_front();
            }
            // A build that no longer counts lets its memory go at once.
            if (m_builder && m_builderGeneration != m_generation.load())
                m_builder.reset();
            switch (task.kind) {
            case Task::Kind::Batch:
                AddBatch(task);
                break;
            case Task::Kind::Finish:
                FinishBuild(task);
                break;
            case Task::Kind::Query:
                Ask(task);
                break;
            case Task::Kind::Release: // the index goes with the task, here
                break;
            }
        }
    }

    void AddBatch(const Task& task)
    {
        bool failed = false;
        if (task.generation == m_generation.load()) {
            try {
                if (!m_builder || m_builderGeneration != task.generation) {
                    m_builder = std::make_unique<CNameIndexBuilder>(task.itemCount);
                    m_builderGeneration = task.generation;
                }
                m_builder->Add(task.batch);
            } catch (const std::exception&) { // out of memory, or past what an index can number
                m_builder.reset();
                m_failedGeneration = task.generation;
                failed = true;
            }
        }
        bool wake = false;
        {
            std::lock_guard lock(m_mutex);
            --m_pendingBatches;
            wake = std::exchange(m_wakeOnBatch, false);
            if (failed)
                m_built = Built { task.generation, nullptr };
        }
        if ((wake || failed) && m_wake)
            m_wake();
    }

    void FinishBuild(const Task& task)
    {
        if (task.generation != m_generation.load() || task.generation == m_failedGeneration)
            return;
        Built built { task.generation, nullptr };
        try {
            if (!m_builder || m_builderGeneration != task.generation)
                m_builder = std::make_unique<CNameIndexBuilder>(0); // an empty library
            built.index = m_builder->Finish(task.remarksComplete);
        } catch (const std::exception&) {
        }
        m_builder.reset();
        {
            std::lock_guard lock(m_mutex);
            m_built = std::move(built);
        }
        if (m_wake)
            m_wake();
    }

    void Ask(const Task& task)
    {
        if (task.cancel->load())
            return;
        Answer answer { task.lookupId, {}, false };
        try {
            std::vector<std::uint32_t> found;
            switch (task.index->Find(task.query, found, task.cancel.get())) {
            case CNameIndex::Outcome::Cancelled:
                return;
            case CNameIndex::Outcome::Unanswerable:
                answer.unanswerable = true;
                break;
            case CNameIndex::Outcome::Found:
                // Made what the window lists here, off its thread: a million
                // rows are then only moved there.
                answer.rows.resize(found.size());
                for (std::size_t i = 0; i < found.size(); ++i)
                    answer.rows[i] = static_cast<CItem*>(const_cast<CDatum*>(task.index->Item(found[i])));
                break;
            }
        } catch (const std::bad_alloc&) {
            answer.rows.clear();
            answer.unanswerable = true; // the library's thread scans instead
        }
        {
            std::lock_guard lock(m_mutex);
            m_answer = std::move(answer);
        }
        if (m_wake)
            m_wake();
    }

    const std::function<void()> m_wake;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<Task> m_tasks;
    std::size_t m_pendingBatches = 0;
    bool m_wakeOnBatch = false;
    bool m_stop = false;
    std::optional<Built> m_built;
    std::optional<Answer> m_answer;
    std::atomic<std::uint64_t> m_generation { 0 };
    // The worker's own.
    std::unique_ptr<CNameIndexBuilder> m_builder;
    std::uint64_t m_builderGeneration = 0;
    std::uint64_t m_failedGeneration = 0;
    std::thread m_thread; // last: it starts running in the constructor
};

CQuickFinder::CQuickFinder(CTessaryDoc& doc, std::function<void()> wake, std::size_t batchItems)
    : m_doc(doc)
    , m_batchItems(batchItems)
    , m_serial(doc.GetChangeSerial() - 1) // so that the first step starts an index
    , m_worker(std::make_unique<Worker>(std::move(wake)))
{
}

CQuickFinder::~CQuickFinder()
{
    m_worker.reset(); // stops and joins the worker before what it may point at goes
}

void CQuickFinder::CheckLibrary()
{
    const std::uint64_t serial = m_doc.GetChangeSerial();
    if (serial == m_serial)
        return;
    m_serial = serial;
    if (m_index) {
        // Hundreds of megabytes for a big library: given back on the worker.
        Task task;
        task.kind = Task::Kind::Release;
        task.index = std::move(m_index);
        m_worker->Post(std::move(task));
    }
    m_harvest.reset();
    m_finishSent = false;
    m_buildFailed = false;
    m_worker->SetGeneration(++m_generation);
    if (m_lookup) {
        const CQuickQuery query = std::move(m_lookup->query);
        StartLookup(query);
    }
}

void CQuickFinder::StartLookup(const CQuickQuery& query)
{
    if (m_lookup)
        m_lookup->cancel->store(true);
    m_lookup = std::make_unique<Lookup>();
    m_lookup->id = ++m_nextLookupId;
    m_lookup->query = query;
    if (query.IsEmpty())
        m_lookup->result.emplace();
}

void CQuickFinder::Find(const CQuickQuery& query)
{
    CheckLibrary();
    StartLookup(query);
}

void CQuickFinder::Cancel()
{
    if (m_lookup)
        m_lookup->cancel->store(true);
    m_lookup.reset();
}

void CQuickFinder::Collect()
{
    if (std::optional<Worker::Built> built = m_worker->TakeBuilt()) {
        if (built->generation == m_generation) {
            m_index = std::move(built->index);
            m_buildFailed = !m_index;
            m_harvest.reset();
            m_finishSent = false;
        }
    }
    if (std::optional<Worker::Answer> answer = m_worker->TakeAnswer()) {
        if (m_lookup && answer->lookupId == m_lookup->id && !m_lookup->result) {
            if (answer->unanswerable) {
                m_lookup->scanOnly = true;
            } else {
                // Handles of the library as it is: the serial has not moved
                // since the index was copied out of it (else the lookup
                // would have been started again under a new number).
                m_lookup->result = std::move(answer->rows);
            }
        }
    }
}

bool CQuickFinder::StepLookup(Clock::time_point deadline)
{
    Lookup& l = *m_lookup;
    if (m_index && !l.scanOnly) {
        if (!l.sent) {
            l.scan.reset();
            Task task;
            task.kind = Task::Kind::Query;
            task.lookupId = l.id;
            task.index = m_index;
            task.query = l.query;
            task.cancel = l.cancel;
            m_worker->Post(std::move(task));
            l.sent = true;
        }
        return false;
    }
    if (!l.scan)
        l.scan = std::make_unique<CQuickScan>(l.query, RootsOf(m_doc));
    while (!l.scan->Step(kStepItems))
        if (Clock::now() >= deadline)
            return true;
    const std::vector<CDatum*>& found = l.scan->Results();
    l.result.emplace(found.begin(), found.end());
    l.scan.reset();
    return false;
}

bool CQuickFinder::StepHarvest(Clock::time_point deadline)
{
    if (m_finishSent)
        return false;
    try {
        if (!m_harvest)
            m_harvest = std::make_unique<CIndexHarvest>(RootsOf(m_doc), m_batchItems);
        while (Clock::now() < deadline) {
            if (m_worker->Throttle())
                return false;
            const bool done = m_harvest->Step(kStepItems);
            for (CIndexBatch& batch : m_harvest->TakeBatches()) {
                Task task;
                task.kind = Task::Kind::Batch;
                task.generation = m_generation;
                task.itemCount = m_harvest->ItemCount();
                task.batch = std::move(batch);
                m_worker->Post(std::move(task));
            }
            if (done) {
                Task task;
                task.kind = Task::Kind::Finish;
                task.generation = m_generation;
                task.remarksComplete = m_harvest->RemarksComplete();
                m_worker->Post(std::move(task));
                m_finishSent = true;
                return false;
            }
        }
    } catch (const std::exception&) { // no memory for the copies: lookups scan
        m_harvest.reset();
        m_buildFailed = true;
        m_worker->SetGeneration(++m_generation);
        return false;
    }
    return true;
}

bool CQuickFinder::Step(std::chrono::microseconds budget)
{
    const Clock::time_point deadline = Clock::now() + budget;
    CheckLibrary();
    Collect();
    bool more = false;
    if (m_lookup && !m_lookup->result)
        more = StepLookup(deadline);
    if (!m_index && !m_buildFailed)
        more = StepHarvest(deadline) || more;
    return more;
}

std::optional<std::vector<CItem*>> CQuickFinder::TakeResult()
{
    CheckLibrary();
    if (!m_lookup || !m_lookup->result)
        return std::nullopt;
    std::optional<std::vector<CItem*>> result = std::move(m_lookup->result);
    m_lookup.reset();
    return result;
}

} // namespace tessary
