// The Python module `kovra`: the library facade for Python programs.
//
//   import kovra
//   r = kovra.verify(blocks, v=49, t=3, m=6)   # blocks: rows of points, or a 2-D array
//   r.ok, r.losing_count, r.first_losing, r.certificate
//
// Blocks reach the engine as one 2-D integer array (numpy converts a list of
// lists or tuples in one step), never through a Python call per block. The
// work runs with the GIL released on a thread of its own while the calling
// thread watches for Ctrl-C, which stops the work and raises
// KeyboardInterrupt. A fault raises ValueError with the command line's
// message for it.
#include "kovra/kovra.hpp"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace py = pybind11;
namespace api = kovra::api;

namespace {

// One piece of work for a worker thread, and its end.
struct Job {
  std::function<void()> run;
  std::mutex mutex;
  std::condition_variable cv;
  bool done = false;
};

// The threads that run the module's work, kept between calls: starting a
// thread costs more than the whole test of a small design. A call takes an
// idle one or starts one more; it goes back to the idle ones when its job
// is done.
class Workers {
public:
  static Workers& Get() {
    static Workers workers;
    return workers;
  }
  void Start(Job& job) {
    Worker* w = nullptr;
    {
      std::lock_guard lock(mutex_);
      if (!idle_.empty()) {
        w = idle_.back();
        idle_.pop_back();
      } else {
        all_.push_back(std::make_unique<Worker>());
        w = all_.back().get();
        w->thread = std::thread([this, w] { Loop(*w); });
      }
    }
    std::lock_guard lock(w->mutex);
    w->job = &job;
    w->cv.notify_one();
  }
  ~Workers() {
    for (auto& w : all_) {
      {
        std::lock_guard lock(w->mutex);
        w->quit = true;
      }
      w->cv.notify_one();
      w->thread.join();
    }
  }

private:
  struct Worker {
    std::thread thread;
    std::mutex mutex;
    std::condition_variable cv;
    Job* job = nullptr;
    bool quit = false;
  };
  void Loop(Worker& w) {
    for (;;) {
      Job* job = nullptr;
      {
        std::unique_lock lock(w.mutex);
        w.cv.wait(lock, [&] { return w.job != nullptr || w.quit; });
        if (w.job == nullptr) return;
        job = w.job;
        w.job = nullptr;
      }
      {
        std::lock_guard lock(mutex_);
        idle_.push_back(&w);
      }
      job->run();
      std::lock_guard lock(job->mutex);
      job->done = true;
      job->cv.notify_all();
    }
  }
  std::mutex mutex_;
  std::vector<Worker*> idle_;
  std::vector<std::unique_ptr<Worker>> all_;
};

// Runs work(stop) on a worker thread with the GIL released; every tenth of
// a second the calling thread takes the GIL back to let Python see its
// signals (they are handled on the main thread only). A Ctrl-C raises the
// stop flag, waits for the work to end, and comes back as KeyboardInterrupt.
template <class Work>
auto Interruptible(Work&& work) -> decltype(work(std::declval<const std::atomic<bool>*>())) {
  using R = decltype(work(std::declval<const std::atomic<bool>*>()));
  std::atomic<bool> stop{false};
  std::optional<R> result;
  std::exception_ptr error;
  bool interrupted = false;
  Job job;
  job.run = [&] {
    try {
      result.emplace(work(&stop));
    } catch (...) {
      error = std::current_exception();
    }
  };
  {
    py::gil_scoped_release release;
    Workers::Get().Start(job);
    for (;;) {
      std::unique_lock lock(job.mutex);
      if (job.cv.wait_for(lock, std::chrono::milliseconds(100), [&] { return job.done; })) break;
      lock.unlock();
      if (interrupted) continue;
      py::gil_scoped_acquire acquire;
      if (PyErr_CheckSignals() != 0) {
        interrupted = true;
        stop.store(true);
      }
    }
  }
  if (interrupted) throw py::error_already_set();
  if (error) std::rethrow_exception(error);
  return std::move(*result);
}

template <class T>
T ValueOr(api::Result<T>&& r) {
  if (!r) throw py::value_error(r.error().message);
  return std::move(*r);
}

// The blocks as a design: a 2-D array of integers, or anything numpy makes
// one of (a list of lists or tuples), or a Design loaded before.
api::Design DesignOf(const py::object& blocks, unsigned v, unsigned k, unsigned t, unsigned m,
                     unsigned l, unsigned base) {
  if (py::isinstance<api::Design>(blocks)) {
    api::Design d = blocks.cast<api::Design>();
    if (v != 0) d.params.v = v;
    if (t != 0) d.params.t = t;
    if (m != 0) d.params.m = m;
    if (l != 0) d.params.l = l;
    return d;
  }
  // numpy makes one array of the rows; a point that is no whole number
  // (3.5, "3") is refused, never cut to one.
  py::array any;
  try {
    any = py::module_::import("numpy").attr("asarray")(blocks);
  } catch (const py::error_already_set&) {
    any = py::array();
  }
  if (!any || any.ndim() != 2)
    throw py::value_error("Err: blocks must be rows of points of one length (a list of lists or "
                          "tuples, or a 2-D array)");
  const char kind = any.dtype().kind();
  if (kind != 'i' && kind != 'u')
    throw py::value_error("Err: the blocks hold something that is not a whole number");
  using Array = py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>;
  const Array rows = Array::ensure(any);
  const auto b = static_cast<std::size_t>(rows.shape(0));
  const auto width = static_cast<unsigned>(rows.shape(1));
  const api::Params params{v, k != 0 ? k : width, t, m, l != 0 ? l : 1};
  if (params.k != width)
    throw py::value_error("Err: the blocks have " + std::to_string(width) +
                          " points each where k=" + std::to_string(params.k) + " are needed");
  return ValueOr(api::MakeDesign(rows.data(), b, width, params, base));
}

api::VerifyOptions OptionsOf(std::optional<unsigned> threads, std::uint32_t maxLosing,
                             double timeLimit, bool prove) {
  api::VerifyOptions o;
  o.threads = threads.value_or(0);
  o.maxLosing = maxLosing;
  o.timeLimitSeconds = timeLimit;
  o.prove = prove;
  return o;
}

py::object Json(const std::string& line) { return py::module_::import("json").attr("loads")(line); }

// The blocks of a design as tuples of their points.
py::list BlocksOf(const api::Design& d) {
  py::list rows;
  const unsigned k = d.params.k;
  for (std::size_t i = 0; i < d.BlockCount(); ++i) {
    py::tuple row(k);
    for (unsigned j = 0; j < k; ++j) row[j] = d.points[i * k + j];
    rows.append(row);
  }
  return rows;
}

// What kovra.verify returns; the certificate is made when it is asked for
// (it counts the s-subsets of the blocks once more).
struct Verified {
  api::Design design;
  api::VerifyResult r;
};

const char* VerdictName(api::Verdict v) {
  switch (v) {
  case api::Verdict::kOk: return "OK";
  case api::Verdict::kFail: return "FAIL";
  case api::Verdict::kUndecided: break;
  }
  return "UNDECIDED";
}

} // namespace

PYBIND11_MODULE(kovra, mod) {
  mod.doc() = "KOVRA: verify covering designs C(v,k,t,m,l), profile, reduce and load them.";

  py::class_<api::Design>(mod, "Design", "A design: its parameters and its blocks.")
      .def_property_readonly("v", [](const api::Design& d) { return d.params.v; })
      .def_property_readonly("k", [](const api::Design& d) { return d.params.k; })
      .def_property_readonly("t", [](const api::Design& d) { return d.params.t; })
      .def_property_readonly("m", [](const api::Design& d) { return d.params.m; })
      .def_property_readonly("l", [](const api::Design& d) { return d.params.l; })
      .def_readonly("base", &api::Design::base)
      .def_readonly("name", &api::Design::name)
      .def_property_readonly("blocks", &BlocksOf, "The blocks, as tuples of their points.")
      .def("__len__", &api::Design::BlockCount);

  py::class_<Verified>(mod, "Result", "What kovra.verify found.")
      .def_property_readonly("ok",
                             [](const Verified& v) { return v.r.verdict == api::Verdict::kOk; })
      .def_property_readonly(
          "undecided", [](const Verified& v) { return v.r.verdict == api::Verdict::kUndecided; })
      .def_property_readonly("verdict", [](const Verified& v) { return VerdictName(v.r.verdict); })
      .def_property_readonly("proved", [](const Verified& v) { return v.r.proved; })
      .def_property_readonly(
          "losing_count",
          [](const Verified& v) -> py::object {
            if (!v.r.counted) return py::none();
            return py::int_(v.r.losingCount);
          },
          "Every losing m-set, or None where they were not all counted.")
      .def_property_readonly("first_losing",
                             [](const Verified& v) {
                               py::list sets;
                               for (const auto& s : v.r.firstLosing)
                                 sets.append(py::tuple(py::cast(s)));
                               return sets;
                             })
      .def_property_readonly("certificate",
                             [](const Verified& v) {
                               api::CertificateInput in;
                               in.verified = &v.r;
                               in.command = "kovra.verify";
                               return Json(api::Certificate(v.design, in));
                             })
      .def("__repr__", [](const Verified& v) {
        return std::string("<kovra.Result ") + VerdictName(v.r.verdict) + ">";
      });

  mod.def(
      "verify",
      [](const py::object& blocks, unsigned v, unsigned t, unsigned m, unsigned l,
         std::optional<unsigned> k, unsigned base, std::optional<unsigned> threads,
         std::uint32_t maxLosing, double timeLimit, bool prove) {
        Verified out;
        out.design = DesignOf(blocks, v, k.value_or(0), t, m, l, base);
        api::VerifyOptions o = OptionsOf(threads, maxLosing, timeLimit, prove);
        out.r = Interruptible([&](const std::atomic<bool>* stop) {
          o.stop = stop;
          return ValueOr(api::Verify(out.design, o));
        });
        return out;
      },
      py::arg("blocks"), py::arg("v") = 0, py::arg("t") = 0, py::arg("m") = 0, py::arg("l") = 1,
      py::arg("k") = py::none(), py::arg("base") = 1, py::arg("threads") = py::none(),
      py::arg("max_losing") = 1, py::arg("time_limit") = 600.0, py::arg("prove") = false,
      "Verifies the design: every m-subset must meet at least l blocks in t or more points.");

  mod.def(
      "profile",
      [](const py::object& blocks, unsigned v, unsigned m, unsigned l, std::optional<unsigned> k,
         unsigned base, std::optional<unsigned> threads) {
        // The profile needs no t: any t from 1 to m makes a design of it.
        const api::Design design = DesignOf(blocks, v, k.value_or(0), 1, m, l, base);
        const api::Profile p = Interruptible([&](const std::atomic<bool>*) {
          return ValueOr(api::DrawProfile(design, threads.value_or(0)));
        });
        if (!p.computed) throw py::value_error("Err: the walk over every m-set is beyond reach");
        py::dict out;
        out["best"] = p.best;
        out["at_least_l"] = p.atLeastL;
        return out;
      },
      py::arg("blocks"), py::arg("v") = 0, py::arg("m") = 0, py::arg("l") = 1,
      py::arg("k") = py::none(), py::arg("base") = 1, py::arg("threads") = py::none(),
      "The draw profile: for each j, the m-sets whose best block meets them in j points "
      "(best) and those met by l blocks in j or more points (at_least_l).");

  mod.def(
      "reduce",
      [](const py::object& blocks, unsigned v, unsigned t, unsigned m, unsigned l,
         std::optional<unsigned> k, unsigned base, std::optional<unsigned> threads,
         double timeLimit) {
        const api::Design design = DesignOf(blocks, v, k.value_or(0), t, m, l, base);
        api::VerifyOptions o = OptionsOf(threads, 1, timeLimit, false);
        const api::Reduction r = Interruptible([&](const std::atomic<bool>* stop) {
          o.stop = stop;
          return ValueOr(api::Reduce(design, o));
        });
        if (!r.done) throw py::value_error(r.why);
        return BlocksOf(r.kept);
      },
      py::arg("blocks"), py::arg("v") = 0, py::arg("t") = 0, py::arg("m") = 0, py::arg("l") = 1,
      py::arg("k") = py::none(), py::arg("base") = 1, py::arg("threads") = py::none(),
      py::arg("time_limit") = 600.0,
      "The blocks the design needs: every block it does not need left out, tried from the "
      "last; the design must hold.");

  mod.def(
      "load",
      [](const std::string& path, unsigned v, unsigned k, unsigned t, unsigned m, unsigned l,
         std::optional<unsigned> base) {
        api::LoadOptions o;
        o.given = api::Params{v, k, t, m, l};
        o.base = base.value_or(1);
        o.baseGiven = base.has_value();
        return Interruptible([&](const std::atomic<bool>*) { return ValueOr(api::Load(path, o)); });
      },
      py::arg("path"), py::arg("v") = 0, py::arg("k") = 0, py::arg("t") = 0, py::arg("m") = 0,
      py::arg("l") = 0, py::arg("base") = py::none(),
      "Reads a design file in any style KOVRA reads; parameters not in the file are given "
      "here.");
}
