// The WebAssembly module's JavaScript side, the same on the page, in the
// search worker and under node: a few WASI calls (a clock, error output) and
// the texts in and out of the module's C functions (web/zelmar_web.h). The
// whole of it is one function so that the worker's source is made from it.
function zelmarCore() {
  "use strict";
  const encoder = new TextEncoder();
  // A byte-order mark the module writes (the sheet's) is kept.
  const decoder = new TextDecoder("utf-8", { ignoreBOM: true });
  const kNoSystem = 52;  // WASI ENOSYS: the page reads and writes no files

  function wasiShim(memory) {
    const view = () => new DataView(memory().buffer);
    let errorText = "";
    const calls = {
      clock_time_get(_id, _precision, out) {
        const ns = BigInt(Math.round(performance.now() * 1e6));
        view().setBigUint64(out, ns, true);
        return 0;
      },
      fd_write(fd, iovs, count, written) {
        let total = 0;
        for (let i = 0; i < count; i++) {
          const base = view().getUint32(iovs + 8 * i, true);
          const size = view().getUint32(iovs + 8 * i + 4, true);
          if (fd === 2) {
            errorText += decoder.decode(new Uint8Array(memory().buffer, base, size));
          }
          total += size;
        }
        view().setUint32(written, total, true);
        if (errorText.includes("\n")) {
          console.error(errorText);
          errorText = "";
        }
        return 0;
      },
      environ_sizes_get(count, size) {
        view().setUint32(count, 0, true);
        view().setUint32(size, 0, true);
        return 0;
      },
      environ_get() { return 0; },
      args_sizes_get(count, size) {
        view().setUint32(count, 0, true);
        view().setUint32(size, 0, true);
        return 0;
      },
      args_get() { return 0; },
      proc_exit(code) { throw new Error("zelmar: exit " + code); },
    };
    return new Proxy(calls, { get: (table, name) => table[name] || (() => kNoSystem) });
  }

  // Resolves to the module's functions, with texts in and out. `onProgress`
  // receives a running search's progress objects.
  async function load(bytes, onProgress) {
    let memory = null;
    const imports = {
      wasi_snapshot_preview1: wasiShim(() => memory),
      zelmar: {
        progress(pointer, size) {
          if (onProgress) onProgress(JSON.parse(read(pointer, size)));
        },
      },
    };
    const { instance } = await WebAssembly.instantiate(bytes, imports);
    const x = instance.exports;
    memory = x.memory;
    x._initialize();

    function read(pointer, size) {
      return decoder.decode(new Uint8Array(memory.buffer, pointer, size));
    }
    function output() { return read(x.zelmar_output(), x.zelmar_output_size()); }
    function put(bytes) {
      const pointer = x.zelmar_input(bytes.length);
      new Uint8Array(memory.buffer, pointer, bytes.length).set(bytes);
    }
    // A count, then per text its length and bytes, all little-endian.
    function putList(texts) { putBytesList(texts.map((t) => encoder.encode(t))); }
    function putBytesList(parts) {
      const bytes = new Uint8Array(4 + parts.reduce((n, p) => n + 4 + p.length, 0));
      const view = new DataView(bytes.buffer);
      view.setUint32(0, parts.length, true);
      let at = 4;
      for (const p of parts) {
        view.setUint32(at, p.length, true);
        bytes.set(p, at + 4);
        at += 4 + p.length;
      }
      put(bytes);
    }
    return {
      // The line `zelmar-check --json` prints for these field texts.
      checkJson(fields) {
        putList(fields);
        x.zelmar_check();
        return output();
      },
      check(fields) { return JSON.parse(this.checkJson(fields)); },
      // How the check read each field text and each finding's product
      // (web/check_readings.h).
      checkReadings(fields) {
        putList(fields);
        x.zelmar_check_readings();
        return JSON.parse(output());
      },
      // zelmar-plan's exit status, its output for these arguments and what
      // it said on standard error (warnings, or the error line).
      plan(args, progressIntervalMs) {
        putList(args);
        const status = x.zelmar_plan(progressIntervalMs);
        const text = output();
        x.zelmar_plan_errors();
        return { status, text, errors: output() };
      },
      // A file (a show, a scan) the arguments may name, by name; `bytes` a
      // Uint8Array or a text.
      putFile(name, bytes) {
        putBytesList([encoder.encode(name), typeof bytes === "string" ? encoder.encode(bytes) : bytes]);
        x.zelmar_file_put();
      },
      clearFiles() { x.zelmar_files_clear(); },
      // Each of these: zelmar-plan's arguments, then "--" and the page's
      // pairs (web/page_request.h); {status, text}, status 0 or 2 (text:
      // the error line).
      // The picture's data, with its scan's trace as [MHz, dBm, MHz, ...].
      picture(args) {
        putList(args);
        const status = x.zelmar_picture();
        const text = output();
        const trace = new Float64Array(memory.buffer, x.zelmar_picture_trace(), x.zelmar_picture_trace_size()).slice();
        return { status, text, trace };
      },
      showFile(args) { putList(args); const status = x.zelmar_show_file(0); return { status, text: output() }; },
      sheet(args) { putList(args); const status = x.zelmar_show_file(1); return { status, text: output() }; },
      scanRanges(args) { putList(args); const status = x.zelmar_scan_ranges(); return { status, text: output() }; },
      // The planner's reading of one MHz text: error code (0: none), value.
      readMHz(text, allowZero) {
        put(encoder.encode(text));
        const error = x.zelmar_read_mhz(allowZero ? 1 : 0);
        return { error, text: output() };
      },
      // A carrier's frequency as the page reads it: the planner's reading,
      // and error 100 above 3,000 MHz (most likely kilohertz).
      readFrequency(text) {
        put(encoder.encode(text));
        const error = x.zelmar_read_frequency();
        return { error, text: output() };
      },
      // The first reason the form's arguments cannot be searched, as codes
      // (web/plan_refusal.h): {what, ...}, what "none" with its warnings.
      planRefusal(args) {
        putList(args);
        x.zelmar_plan_refusal();
        return JSON.parse(output());
      },
      // Nanoseconds per RunChannelCheck, timed inside the module.
      timeCheck(fields, runs) {
        putList(fields);
        return x.zelmar_time_check(runs);
      },
    };
  }

  // The module as the page carries it: gzip, then base64 (a third of the
  // size of plain base64); the browser's own DecompressionStream unpacks it.
  async function unpack(text) {
    const binary = atob(text);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
    const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream("gzip"));
    return new Uint8Array(await new Response(stream).arrayBuffer());
  }

  return { load, unpack };
}

// The search worker: loads the module from the bytes the page hands it, then
// runs one search per request, posting progress while it runs. The page
// stops a search by ending the worker.
function zelmarWorker(core) {
  "use strict";
  let zelmar = null;
  const ready = new Promise((resolve) => {
    self.onmessage = async (event) => {
      if (event.data.bytes) {
        zelmar = await core.load(event.data.bytes, (progress) =>
          self.postMessage({ progress }));
        self.postMessage({ ready: true });
        resolve();
        return;
      }
      await ready;
      // The files the search's arguments name (shows, scans) come with it.
      zelmar.clearFiles();
      for (const [name, bytes] of event.data.files || []) zelmar.putFile(name, bytes);
      const started = performance.now();
      let result;
      try {
        result = zelmar.plan(event.data.args, event.data.intervalMs);
      } catch (error) {
        result = { status: -1, text: String(error) };
      }
      self.postMessage({ done: result, ms: performance.now() - started });
    };
  });
}

if (typeof module !== "undefined") module.exports = { zelmarCore };
