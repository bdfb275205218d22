// The page around Vorla: a canvas per Win32 window, the page's input queued for the program,
// waits that hand the thread back to the browser, and <dialog>s for the file dialog and the
// message boxes. The program calls in through globalThis.vorlaPage (web_backend.cpp).
"use strict";

(function () {
  // Event types as web_backend.cpp numbers them.
  const MOUSE_MOVE = 1, MOUSE_DOWN = 2, MOUSE_UP = 3, KEY_DOWN = 4, KEY_UP = 5;
  // Files larger than the loader reads at all are not read into memory either.
  const LARGEST_FILE = 128 * 1024 * 1024;

  const events = [];
  const windows = new Map(); // id -> { canvas, context }
  let activeWindow = 0; // the window that gets the keys
  let captureWindow = 0;
  let lastPointer = null;
  let wakeUp = null;
  let dialog = null; // the open (or last) dialog: { closed, answer, file }

  // A task of its own through a MessageChannel: about 0.02 ms, where setTimeout(0) costs up
  // to 4 ms once nested.
  const channel = new MessageChannel();
  const yielded = [];
  channel.port1.onmessage = () => {
    const resume = yielded.shift();
    if (resume) resume();
  };
  function yieldToBrowser() {
    return new Promise((resolve) => {
      yielded.push(resolve);
      channel.port2.postMessage(0);
    });
  }

  function notify() {
    if (wakeUp) {
      const w = wakeUp;
      wakeUp = null;
      w();
    }
  }

  function push(e) {
    events.push(e);
    notify();
  }

  async function wait(timeout) {
    if (events.length === 0 && timeout !== 0) {
      await new Promise((resolve) => {
        let timer = null;
        wakeUp = () => {
          if (timer !== null) clearTimeout(timer);
          resolve();
        };
        if (timeout > 0) {
          timer = setTimeout(() => {
            wakeUp = null;
            resolve();
          }, timeout);
        }
      });
    }
    // Resumed from a message task, the program's next setTimeout is never nested, so never
    // clamped to 4 ms.
    await yieldToBrowser();
  }

  function windowOfTarget(target) {
    for (const [id, w] of windows) {
      if (w.canvas === target) return id;
    }
    return 0;
  }

  function mouse(type, e) {
    if (dialog && !dialog.closed) return;
    const id = captureWindow || windowOfTarget(e.target);
    const w = windows.get(id);
    if (!w) return;
    const box = w.canvas.getBoundingClientRect();
    push({
      type, window: id,
      x: Math.floor(e.clientX - box.left), y: Math.floor(e.clientY - box.top),
      button: e.button, shift: e.shiftKey, control: e.ctrlKey, alt: e.altKey, repeat: false,
    });
  }

  function key(type, e) {
    if ((dialog && !dialog.closed) || !windows.has(activeWindow)) return;
    push({
      type, window: activeWindow, code: e.code, key: e.key, button: 0,
      shift: e.shiftKey, control: e.ctrlKey, alt: e.altKey, repeat: e.repeat,
    });
    // Keys belong to the program (Space would scroll, Backspace go back), but for the
    // browser's own shortcuts and function keys.
    if (!e.ctrlKey && !e.metaKey && !/^F\d+$/.test(e.code)) e.preventDefault();
  }

  window.addEventListener("mousemove", (e) => mouse(MOUSE_MOVE, e));
  window.addEventListener("mousedown", (e) => {
    if (windowOfTarget(e.target)) e.preventDefault(); // no text selection, no drag
    mouse(MOUSE_DOWN, e);
  });
  window.addEventListener("mouseup", (e) => mouse(MOUSE_UP, e));
  window.addEventListener("pointerdown", (e) => { lastPointer = e.pointerId; });
  window.addEventListener("keydown", (e) => key(KEY_DOWN, e));
  window.addEventListener("keyup", (e) => key(KEY_UP, e));

  function showDialog(element) {
    element.showModal();
  }

  function closeDialog(element, result) {
    Object.assign(dialog, result, { closed: true });
    if (element.open) element.close();
    notify();
  }

  // "*.bmp" -> ".bmp"; "*.*" and "*" -> every file.
  function acceptOf(patterns) {
    const list = patterns.split(";").map((p) => p.trim()).filter((p) => p !== "");
    if (list.some((p) => p === "*.*" || p === "*")) return "";
    return list.map((p) => p.replace(/^\*/, "")).join(",");
  }

  function openFileDialog(request) {
    const element = document.getElementById("open-dialog");
    const input = element.querySelector(".file");
    const select = element.querySelector(".filter");
    const previous = element.querySelector(".previous");
    dialog = { kind: "open", closed: false, file: null };
    const current = dialog;
    element.querySelector(".caption").textContent = request.title || "Open";
    select.replaceChildren(...request.filters.map(([text, patterns], i) => {
      const option = new Option(text, patterns, false, i === request.filterIndex);
      return option;
    }));
    const applyFilter = () => { input.accept = acceptOf(select.value || ""); };
    select.onchange = applyFilter;
    applyFilter();
    const name = (request.initialPath || "").split("/").pop();
    previous.hidden = !name;
    previous.textContent = name ? "Last time: " + name : "";

    const done = (result) => { if (dialog === current && !current.closed) closeDialog(element, result); };
    const choose = () => {
      input.value = "";
      input.click();
    };
    input.onchange = async () => {
      const file = input.files && input.files[0];
      if (!file) return done({ file: null });
      const bytes = file.size > LARGEST_FILE ? new Uint8Array(0)
                                             : new Uint8Array(await file.arrayBuffer());
      done({ file: { name: file.name, bytes } });
    };
    input.oncancel = () => done({ file: null });
    element.querySelector(".choose").onclick = choose;
    element.querySelector(".cancel").onclick = () => done({ file: null });
    element.oncancel = (e) => { e.preventDefault(); done({ file: null }); };
    showDialog(element);
    // The browser's chooser at once while the key that asked for it still counts as a user
    // gesture; otherwise the dialog's button opens it.
    if (navigator.userActivation && navigator.userActivation.isActive) choose();
  }

  function messageBox(request) {
    const element = document.getElementById("message-box");
    dialog = { kind: "box", closed: false, answer: 0 };
    const current = dialog;
    element.className = request.icon;
    element.querySelector(".caption").textContent = request.caption;
    element.querySelector(".text").textContent = request.text;
    const answers = {
      ok: [["OK", 0]],
      okCancel: [["OK", 0], ["Cancel", 1]],
      yesNo: [["Yes", 2], ["No", 3]],
    }[request.buttons] || [["OK", 0]];
    const done = (answer) => { if (dialog === current && !current.closed) closeDialog(element, { answer }); };
    element.querySelector(".buttons").replaceChildren(...answers.map(([label, answer]) => {
      const button = document.createElement("button");
      button.type = "button";
      button.textContent = label;
      button.onclick = () => done(answer);
      return button;
    }));
    // Esc closes a box as Windows does: as its Cancel, or as OK when OK is all it has.
    element.oncancel = (e) => {
      e.preventDefault();
      if (request.buttons === "ok") done(0);
      else if (request.buttons === "okCancel") done(1);
    };
    showDialog(element);
    element.querySelector(".buttons button").focus();
  }

  globalThis.vorlaPage = {
    wait,
    takeEvent: () => events.shift() || null,
    screenWidth: () => window.screen.width || 1024,
    screenHeight: () => window.screen.height || 768,

    createWindow(id, title, width, height) {
      const canvas = document.createElement("canvas");
      canvas.width = width;
      canvas.height = height;
      canvas.hidden = true;
      canvas.tabIndex = 0;
      canvas.title = "";
      canvas.addEventListener("contextmenu", (e) => e.preventDefault());
      document.getElementById("desktop").appendChild(canvas);
      windows.set(id, { canvas, context: canvas.getContext("2d") });
      document.title = title;
    },
    destroyWindow(id) {
      const w = windows.get(id);
      if (!w) return;
      w.canvas.remove();
      windows.delete(id);
      if (captureWindow === id) captureWindow = 0;
      if (activeWindow === id) activeWindow = 0;
    },
    showWindow(id, visible) {
      const w = windows.get(id);
      if (!w) return;
      w.canvas.hidden = !visible;
      if (visible) {
        activeWindow = id;
        w.canvas.focus();
      }
    },
    setTitle(id, title) {
      if (id === activeWindow || windows.size === 1) document.title = title;
    },
    present(id, image, x, y, width, height) {
      const w = windows.get(id);
      if (w) w.context.putImageData(image, 0, 0, x, y, width, height);
    },
    setCapture(id, captured) {
      const w = windows.get(id);
      captureWindow = captured ? id : (captureWindow === id ? 0 : captureWindow);
      if (!w || lastPointer === null) return;
      // Pointer capture keeps the moves coming outside the browser's window too.
      try {
        if (captured) w.canvas.setPointerCapture(lastPointer);
        else if (w.canvas.hasPointerCapture(lastPointer)) w.canvas.releasePointerCapture(lastPointer);
      } catch (e) {
        // The pointer is no longer down: Windows gives capture all the same.
      }
    },

    openFileDialog,
    messageBox,
    dialogClosed: () => !dialog || dialog.closed,
    messageBoxAnswer: () => (dialog && dialog.answer) || 0,
    chosenFile: () => (dialog && dialog.file) || null,

    programEnded(code) {
      for (const id of [...windows.keys()]) this.destroyWindow(id);
      const ended = document.getElementById("ended");
      ended.querySelector(".code").textContent = code ? " (exit code " + code + ")" : "";
      ended.hidden = false;
      document.getElementById("restart").onclick = () => location.reload();
      globalThis.vorlaEnded = { code };
    },

    benchResult(text) {
      document.getElementById("bench-result").textContent = text;
      globalThis.vorlaBenchResult = JSON.parse(text);
    },

    start(options) {
      // A module with one SIMD instruction (i8x16.splat) validates only where wasm SIMD runs.
      const simd = WebAssembly.validate(new Uint8Array([
        0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1, 0,
        10, 8, 1, 6, 0, 65, 0, 253, 15, 11]));
      // ?build=portable asks for the build without SIMD wherever the page runs.
      const asked = new URLSearchParams(location.search).get("build");
      const program = options.program ||
                      (simd && asked !== "portable" ? "vorla" : "vorla-portable");
      globalThis.vorlaBuild = { program, simd };
      const status = document.getElementById("status");
      status.textContent = program + (simd ? " (wasm SIMD)" : " (no wasm SIMD: portable kernels)");
      globalThis.Module = {
        arguments: options.arguments || [],
        print: (text) => console.log(text),
        printErr: (text) => console.warn(text),
        onAbort: (what) => {
          status.textContent = "Vorla stopped: " + what;
          globalThis.vorlaEnded = { code: -1, error: String(what) };
        },
      };
      const script = document.createElement("script");
      script.src = program + ".js";
      document.body.appendChild(script);
    },
  };
})();
