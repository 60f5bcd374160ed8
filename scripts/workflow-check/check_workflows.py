#!/usr/bin/env python3
"""The checks of scripts/check-workflow that read the workflows as YAML.

check_workflows.py WORKFLOW_FOLDER README CMAKE_PRESETS

In every file of WORKFLOW_FOLDER, and in every local action (action.yml under
.github/, and any a workflow names with `uses: ./...`), every `uses`, in block
or flow style, at any depth, is pinned: an action to a full commit with
"# vX.Y.Z" after it on its line, a Docker image to a sha256 digest; local
actions come with the commit, and are read in turn. Every job's container and
service images are pinned to a digest too. Every upload-artifact step sets
if-no-files-found: error. Every workflow runs on push and pull_request with
permissions contents: read and nothing more, and no job asks for more.
`continue-on-error` is set on no step and no job but the exe comparison.
In ci.yml:
  - the linux job runs scripts/test, the README's command, and windows-msvc
    runs the README's Visual Studio commands as consecutive steps;
  - the MinGW-w64 test binaries are kept whenever they were built, and
    windows-mingw runs unless the run was cancelled;
  - every test step has a timeout below its job's, and the timeouts of a job's
    steps leave it JOB_MARGIN minutes for its summary and uploads; GoogleTest
    runs with brief output;
  - each Windows job names its failed tests in the job summary, from the XML
    of each test step, even after a failure;
  - every ctest call, in a step or in a script a step runs (scripts/test),
    writes JUnit (its preset's outputJUnitFile, or --output-junit), and each
    JUnit file and each GoogleTest XML folder is uploaded with if: always(),
    by the path the tests write it to;
  - the mingw-test-binaries artifact holds the files that README.md's
    "Running the tests on Windows by hand" lists, and windows-mingw's first
    step stops plainly when the linux job made none;
  - windows-mingw's end-to-end step sets ORVEL_TEST_ROOT to a folder with a
    blank and letters beyond ASCII, as scripts/test does under Wine;
  - windows-msvc builds the exe again in another folder and compares the two
    exes into the job summary, without failing the job on a difference.
Each problem is one line: what was expected and what was found.
"""
import json
import os
import re
import shlex
import sys

import yaml

PINNED_ACTION = re.compile(r"[\w.-]+/[\w./-]+@[0-9a-f]{40}")
VERSION_COMMENT = re.compile(r"\s*# v\d+\.\d+\.\d+\s*$")
PINNED_IMAGE = re.compile(r"docker://[^@\s]+@sha256:[0-9a-f]{64}")
PINNED_CONTAINER = re.compile(r"(?:docker://)?[^@\s]+@sha256:[0-9a-f]{64}")
# Minutes a job keeps, beyond all its steps' own timeouts, for its summary and uploads.
JOB_MARGIN = 5
# A ctest command in shell text, with its arguments up to the end of the command.
CTEST_CALL = re.compile(r"(?:^|[\s;&|(])ctest(?=\s|$)([^\n;&|)]*)", re.M)
# A script of the repository where a command starts.
SCRIPT = re.compile(r"(?:^|[;&|(]|\b(?:exec|bash|sh|then|do))[ \t]*((?:\./)?(?:scripts|\.ci)/[\w./-]+)", re.M)
TEST_RUN = re.compile(r"\bscripts/test\b|^ctest\b|_tests\.exe\b", re.M)
SUMMARY = "scripts/ci-summary.py"
problems = []


def problem(path, message):
    problems.append("%s: %s" % (path, message))


# --- pinning ---------------------------------------------------------------------
def uses_nodes(node, seen=None):
    """Every scalar under a mapping key `uses`, at any depth and in any style."""
    seen = set() if seen is None else seen
    if id(node) in seen:
        return
    seen.add(id(node))
    if isinstance(node, yaml.MappingNode):
        for key, value in node.value:
            if isinstance(key, yaml.ScalarNode) and key.value == "uses":
                yield value
            yield from uses_nodes(value, seen)
    elif isinstance(node, yaml.SequenceNode):
        for item in node.value:
            yield from uses_nodes(item, seen)


def check_pinning(path, text, local_actions=None):
    """Checks every `uses` of a file; the local actions it names go into local_actions."""
    lines = text.splitlines()
    count = 0
    for document in yaml.compose_all(text):
        for node in uses_nodes(document):
            count += 1
            where = "line %d" % (node.start_mark.line + 1)
            value = node.value if isinstance(node, yaml.ScalarNode) else None
            if not isinstance(value, str):
                problem(path, "%s: expected `uses` to name an action, found %s" % (where, node.tag))
            elif value.startswith("./"):
                if local_actions is not None:
                    local_actions.append(value)
                continue
            elif value.startswith("docker://"):
                if not PINNED_IMAGE.fullmatch(value):
                    problem(path, "%s: expected a Docker image pinned to a sha256 digest, found %s" % (where, value))
            elif not PINNED_ACTION.fullmatch(value):
                problem(path, "%s: expected an action pinned to a full commit, found %s" % (where, value))
            else:
                rest = lines[node.end_mark.line][node.end_mark.column:]
                if not VERSION_COMMENT.search(rest.lstrip(" ,}]")):
                    problem(path, "%s: expected '# vX.Y.Z' after %s on its line, found %r"
                            % (where, value, rest.strip() or "nothing"))
    return count


# --- every workflow and local action --------------------------------------------
def steps_of(document):
    """Each step of a workflow's jobs, or of a composite action, with its job's name."""
    if not isinstance(document, dict):
        return
    for name, job in (document.get("jobs") or {}).items():
        for step in (job or {}).get("steps") or []:
            yield name, step
    runs = document.get("runs")
    if isinstance(runs, dict):
        for step in runs.get("steps") or []:
            yield "(composite action)", step


def triggers(document):
    # YAML 1.1 reads the key `on` as true.
    on = document.get("on", document.get(True))
    if isinstance(on, str):
        return {on}
    return set(on or [])


def check_common(path, document):
    if not isinstance(document, dict):
        return
    for name, step in steps_of(document):
        label = "job %s, step %s" % (name, step.get("name") or step.get("uses") or str(step.get("run", "")).strip()[:40])
        if str(step.get("uses", "")).startswith("actions/upload-artifact@"):
            found = (step.get("with") or {}).get("if-no-files-found")
            if found != "error":
                problem(path, "%s: expected if-no-files-found: error on the upload, found %s" % (label, found))
        if step.get("continue-on-error", False) is not False and SUMMARY + " compare-exes" not in str(step.get("run", "")):
            problem(path, "%s: expected continue-on-error only on the exe comparison, found continue-on-error: %s"
                    % (label, step["continue-on-error"]))
    if "jobs" not in document:
        return
    on = triggers(document)
    if on != {"workflow_call"} and not {"push", "pull_request"} <= on:
        problem(path, "expected the workflow to run on push and pull_request, found on: %s" % " ".join(sorted(map(str, on))))
    if document.get("permissions") != {"contents": "read"}:
        problem(path, "expected permissions: contents: read, found permissions: %s" % document.get("permissions"))
    for name, job in (document.get("jobs") or {}).items():
        job = job or {}
        if "permissions" in job and (not isinstance(job["permissions"], dict) or
                                     any(v not in ("read", "none") for v in job["permissions"].values())):
            problem(path, "job %s: expected no permission beyond read, found permissions: %s" % (name, job["permissions"]))
        if job.get("continue-on-error", False) is not False:
            problem(path, "job %s: expected no continue-on-error on a job, found %s" % (name, job["continue-on-error"]))
        container = job.get("container")
        images = [("container", container.get("image") if isinstance(container, dict) else container)] if container else []
        images += [("service " + k, (v or {}).get("image")) for k, v in (job.get("services") or {}).items()]
        for what, image in images:
            if not PINNED_CONTAINER.fullmatch(str(image)):
                problem(path, "job %s: expected the %s image pinned to a sha256 digest, found %s" % (name, what, image))


# --- ci.yml --------------------------------------------------------------------
def condition(step_or_job):
    return str(step_or_job.get("if", "")).replace(" ", "")


def runs_despite_failure(step_or_job):
    text = condition(step_or_job)
    return "always()" in text or "!cancelled()" in text


def readme_block(readme, heading, language):
    """The lines of the first ```language block below heading, before the next heading."""
    start = readme.index(heading) + 1
    for number, line in enumerate(readme[start:], start):
        if line.startswith("#"):
            break
        if line == "```" + language:
            end = readme.index("```", number + 1)
            return [line for line in readme[number + 1:end] if line.strip()]
    sys.exit("check-workflow: README.md has no ```%s block under '%s'" % (language, heading))


def check_readme_commands(path, jobs, readme):
    commands = [line.split(" #")[0].strip() for line in readme_block(readme, "## For developers", "sh")]
    if "scripts/test" not in commands:
        sys.exit("check-workflow: README.md's developer commands no longer include scripts/test")
    linux = [str(step.get("run", "")).strip() for step in jobs["linux"].get("steps", [])]
    if "scripts/test" not in linux:
        problem(path, "expected the linux job to run scripts/test, found: " + " | ".join(r for r in linux if r))
    expected = readme_block(readme, "### Windows with Visual Studio 2022", "bat")
    msvc = [str(step.get("run", "")).strip() for step in jobs["windows-msvc"].get("steps", [])]
    starts = [i for i in range(len(msvc)) if msvc[i:i + len(expected)] == expected]
    if not starts:
        problem(path, "expected the README's Visual Studio commands (%s) as consecutive windows-msvc steps, found: %s"
                % (" | ".join(expected), " | ".join(r for r in msvc if r)))
    return expected


def check_timeouts_and_brief(path, name, job):
    limit = job.get("timeout-minutes")
    own = [step.get("timeout-minutes") for step in job.get("steps", []) if isinstance(step.get("timeout-minutes"), int)]
    if isinstance(limit, int) and own and sum(own) > limit - JOB_MARGIN:
        problem(path, "job %s: expected its steps' timeouts to leave %d of its %d minutes for the summary and uploads, "
                      "found them adding up to %d (%s)" % (name, JOB_MARGIN, limit, sum(own), " + ".join(map(str, own))))
    for number, step in enumerate(job.get("steps", []), 1):
        run = str(step.get("run", ""))
        if not TEST_RUN.search(run):
            continue
        label = "job %s, step %d (%s)" % (name, number, step.get("name", run.strip().splitlines()[0]))
        own = step.get("timeout-minutes")
        if not isinstance(own, int) or not isinstance(limit, int) or own >= limit:
            problem(path, "%s: expected a timeout-minutes below the job's %s, found %s" % (label, limit, own))
        for line in run.splitlines():
            if "_tests.exe" in line and "--gtest_brief=1" not in line:
                problem(path, "%s: expected GoogleTest with --gtest_brief=1, found: %s" % (label, line.strip()))
        if re.match(r"ctest\b", run) and str(step.get("env", {}).get("GTEST_BRIEF")) != "1":
            problem(path, "%s: expected env GTEST_BRIEF: 1 for ctest's GoogleTest runs, found %s"
                    % (label, step.get("env", {}).get("GTEST_BRIEF")))


def gtest_xml_folders(step):
    """The folders, relative to the workspace, where a step's GoogleTest runs write XML."""
    folders = []
    for target in re.findall(r"--gtest_output=xml:(\S+)", str(step.get("run", ""))):
        folder = os.path.normpath(os.path.join(step.get("working-directory", "."), target.replace("\\", "/")))
        folders.append(os.path.dirname(folder) if not target.endswith(("\\", "/")) else folder)
    env_output = str(step.get("env", {}).get("GTEST_OUTPUT", ""))
    if env_output.startswith("xml:"):
        folders.append(os.path.normpath(env_output[4:].replace("${{ github.workspace }}", ".").replace("\\", "/")))
    return folders


def check_failed_test_summaries(path, name, job, junit_files):
    steps = job.get("steps", [])
    tests = [i for i, step in enumerate(steps) if TEST_RUN.search(str(step.get("run", "")))]
    if not tests:
        return
    wanted = [f for i in tests for f in gtest_xml_folders(steps[i])] + junit_files
    summaries = [i for i, step in enumerate(steps) if SUMMARY + " failed-tests" in str(step.get("run", ""))]
    good = [i for i in summaries if i > max(tests) and runs_despite_failure(steps[i])]
    if not good:
        problem(path, "job %s: expected a step after its tests, with if: always(), that runs %s failed-tests; found %s"
                % (name, SUMMARY, ", ".join("step %d (if: %s)" % (i + 1, condition(steps[i]) or "success()")
                                             for i in summaries) or "none"))
        return
    arguments = [os.path.normpath(a) for a in str(steps[good[0]]["run"]).split(SUMMARY + " failed-tests")[1].split()]
    missing = [f for f in wanted if os.path.normpath(f) not in arguments]
    if missing:
        problem(path, "job %s: expected the failed-test summary to read %s, found it reading %s"
                % (name, " ".join(wanted), " ".join(arguments) or "nothing"))


def uploaded_paths(job):
    """What a job's uploads with if: always() (or !cancelled()) keep, as normalised paths."""
    for step in job.get("steps", []):
        if str(step.get("uses", "")).startswith("actions/upload-artifact@") and runs_despite_failure(step):
            yield from (os.path.normpath(p) for p in str((step.get("with") or {}).get("path", "")).split())


def is_kept(path, kept):
    """Whether path is one of kept, or lies in a kept folder."""
    return any(path == k or path.startswith(k + os.sep) for k in kept)


def scripts_run(text, root, seen):
    """The texts of the repository's scripts that shell text runs, and of those they run in turn."""
    for script in SCRIPT.findall(text):
        file = os.path.normpath(os.path.join(root, script))
        if file in seen or not os.path.isfile(file) or file.endswith(".py"):
            continue
        seen.add(file)
        body = open(file, encoding="utf-8").read()
        yield script, body
        yield from scripts_run(body, root, seen)


def ctest_calls(text):
    """The arguments of each ctest command in shell text, comments left out."""
    code = "\n".join(line for line in text.splitlines() if not line.lstrip().startswith("#"))
    for match in CTEST_CALL.finditer(code):
        try:
            yield shlex.split(match[1], comments=True)
        except ValueError:
            yield match[1].split()


def option(arguments, name):
    for i, argument in enumerate(arguments):
        if argument == name and i + 1 < len(arguments):
            return arguments[i + 1]
        if argument.startswith(name + "="):
            return argument[len(name) + 1:]
    return None


def junit_file(arguments, presets):
    """Where a ctest call writes JUnit, relative to the workspace; None when it writes none."""
    preset = option(arguments, "--preset")
    test = next((p for p in presets.get("testPresets", []) if p["name"] == preset), {})
    configure = next((p for p in presets.get("configurePresets", []) if p["name"] == test.get("configurePreset")), {})
    build = option(arguments, "--test-dir") or configure.get("binaryDir", ".").replace(
        "${sourceDir}/", "").replace("${presetName}", configure.get("name", ""))
    junit = option(arguments, "--output-junit") or test.get("output", {}).get("outputJUnitFile")
    return os.path.normpath(os.path.join(build, junit)) if junit else None


def junit_files(path, name, job, presets, root):
    """The JUnit files of every ctest call that a job makes, in its steps or in
    the scripts they run; a problem for each call without one, or whose file
    no upload with if: always() keeps."""
    files = []
    for step in job.get("steps", []):
        run = str(step.get("run", ""))
        sources = [("the step %s" % (step.get("name") or run.strip().split("\n")[0]), run)]
        sources += list(scripts_run(run, root, set()))
        for where, text in sources:
            for arguments in ctest_calls(text):
                call = " ".join(["ctest"] + arguments)
                junit = junit_file(arguments, presets)
                if not junit:
                    problem(path, "job %s: expected JUnit from `%s` in %s (--output-junit, or a test preset with "
                                  "output.outputJUnitFile), found none" % (name, call, where))
                    continue
                if junit in files:
                    problem(path, "job %s: expected each ctest call to write its own JUnit, found `%s` in %s "
                                  "writing over %s" % (name, call, where, junit))
                files.append(junit)
                if not is_kept(junit, list(uploaded_paths(job))):
                    problem(path, "job %s: expected %s, the JUnit of `%s` in %s, in an upload with if: always(), "
                                  "found %s" % (name, junit, call, where, " ".join(uploaded_paths(job)) or "none"))
    return files


def check_results_kept(path, name, job):
    """Every folder a step's GoogleTest runs write XML to is uploaded with if: always()."""
    writers = {}
    for step in job.get("steps", []):
        for folder in gtest_xml_folders(step):
            label = step.get("name") or str(step.get("run", "")).strip().split("\n")[0]
            writers.setdefault(os.path.normpath(folder), []).append(label)
    for folder, labels in writers.items():
        if not is_kept(folder, list(uploaded_paths(job))):
            problem(path, "job %s: expected %s, where %s write%s GoogleTest's XML, in an upload with if: always(), "
                          "found %s" % (name, folder, " and ".join(labels), "" if len(labels) > 1 else "s",
                                        " ".join(uploaded_paths(job)) or "none"))


def readme_test_binaries(readme):
    """The files that README.md's "Running the tests on Windows by hand" lists, below any-folder."""
    block = readme_block(readme, "### Running the tests on Windows by hand", "text")
    return sorted(line.strip().replace("\\", "/") for line in block[1:])


def check_test_binaries(path, jobs, readme):
    linux = jobs["linux"]
    keep = [s for s in linux.get("steps", []) if (s.get("with") or {}).get("name") == "mingw-test-binaries"]
    kept = sorted(os.path.relpath(os.path.normpath(p), "build/mingw/bin").replace(os.sep, "/")
                  for p in str((keep[0].get("with") or {}).get("path", "") if keep else "").split())
    wanted = readme_test_binaries(readme)
    if kept != wanted:
        problem(path, "job linux: expected the mingw-test-binaries artifact to hold README.md's %s, found %s"
                % (" ".join(wanted), " ".join(kept) or "no such upload"))
    # The windows job learns from an output of the upload whether there is anything to download.
    step_id = keep[0].get("id") if keep else None
    output = next((k for k, v in (linux.get("outputs") or {}).items()
                   if step_id and re.fullmatch(r"\$\{\{\s*steps\.%s\.outputs\.artifact-id\s*\}\}" % re.escape(step_id),
                                               str(v))), None)
    first = (jobs["windows-mingw"].get("steps") or [{}])[0]
    wanted_if = "needs.linux.outputs.%s==''" % output
    if not output or wanted_if not in condition(first) or "exit 1" not in str(first.get("run", "")):
        problem(path, "job windows-mingw: expected a first step that fails, saying so, when the linux job made no test "
                      "binaries (if: needs.linux.outputs.<the upload's artifact-id> == ''), found %s"
                % ("linux output %s, first step if: %s" % (output, condition(first) or "(none)")))


def check_player_folder(path, job):
    e2e = [s for s in job.get("steps", []) if "orvel_e2e_tests.exe" in str(s.get("run", ""))]
    roots = [str((s.get("env") or {}).get("ORVEL_TEST_ROOT", "")) for s in e2e]
    if not roots or not all(" " in r and any(ord(c) > 127 for c in r) for r in roots):
        problem(path, "job windows-mingw: expected the end-to-end step to set ORVEL_TEST_ROOT to a folder with a blank "
                      "and letters beyond ASCII, found %s" % (" | ".join(r or "(unset)" for r in roots) or "no such step"))


def check_second_build(path, job, readme_commands):
    steps = job.get("steps", [])
    first_exe = "build/msvc/bin/Release/OrvelLauncher.exe"
    compares = [(i, s) for i, s in enumerate(steps) if SUMMARY + " compare-exes" in str(s.get("run", ""))]
    if not compares:
        problem(path, "job windows-msvc: expected a step that runs %s compare-exes, found none" % SUMMARY)
        return
    number, compare = compares[0]
    exes = str(compare["run"]).split(SUMMARY + " compare-exes")[1].split()
    if len(exes) != 2 or os.path.normpath(exes[0]) != os.path.normpath(first_exe) or \
            os.path.dirname(os.path.normpath(exes[1])) == os.path.dirname(os.path.normpath(exes[0])):
        problem(path, "job windows-msvc: expected compare-exes of %s and an exe from another folder, found %s"
                % (first_exe, " ".join(exes)))
    again = os.path.normpath(exes[-1]).split(os.sep)[0] if exes else ""
    builds = [s for s in steps[:number] if re.search(r"^cmake --build\b", str(s.get("run", "")), re.M)
              and str(s.get("run", "")).strip() not in readme_commands]
    if not any("cd %s" % again in str(s["run"]) or s.get("working-directory") == again for s in builds):
        problem(path, "job windows-msvc: expected a second cmake --build in %s before the comparison, found %s"
                % (again, " | ".join("; ".join(str(s["run"]).strip().splitlines()) for s in builds) or "none"))
    if compare.get("continue-on-error") is not True:
        problem(path, "job windows-msvc: expected continue-on-error: true on the comparison until a run has shown "
                      "the exes equal, found %s" % compare.get("continue-on-error"))


def check_ci(path, text, readme, presets, root):
    jobs = {name: job or {} for name, job in (yaml.safe_load(text).get("jobs") or {}).items()}
    missing = [job for job in ("linux", "windows-mingw", "windows-msvc") if job not in jobs]
    if missing:
        problem(path, "expected the jobs linux, windows-mingw and windows-msvc, found %s" % " ".join(jobs))
        return "jobs missing"
    readme_commands = check_readme_commands(path, jobs, readme)

    keep = [s for s in jobs["linux"].get("steps", []) if (s.get("with") or {}).get("name") == "mingw-test-binaries"]
    if not keep or "hashFiles(" not in condition(keep[0]) or "!cancelled()" not in condition(keep[0]):
        problem(path, "job linux: expected the mingw-test-binaries upload to run whenever the binaries exist "
                      "(if: !cancelled() && hashFiles(...)), found if: %s" % ((condition(keep[0]) or "(none)") if keep else "no such step"))
    mingw = jobs["windows-mingw"]
    if mingw.get("needs") != "linux" or condition(mingw) not in ("${{!cancelled()}}", "!cancelled()"):
        problem(path, "job windows-mingw: expected needs: linux and if: ${{ !cancelled() }}, found needs: %s, if: %s"
                % (mingw.get("needs"), mingw.get("if", "(none)")))

    for name, job in jobs.items():
        check_timeouts_and_brief(path, name, job)
        junit = junit_files(path, name, job, presets, root)
        check_results_kept(path, name, job)
        if str(job.get("runs-on", "")).startswith("windows"):
            check_failed_test_summaries(path, name, job, junit)
    check_test_binaries(path, jobs, readme)
    check_player_folder(path, mingw)
    check_second_build(path, jobs["windows-msvc"], readme_commands)
    return "linux runs scripts/test; windows-msvc runs " + " | ".join(readme_commands)


def local_action_files(root, named):
    """Every action.yml under .github/, and those of the local actions named, once each."""
    files = []
    for folder, _, names in os.walk(os.path.join(root, ".github")):
        files += [os.path.join(folder, n) for n in sorted(names) if n in ("action.yml", "action.yaml")]
    for uses in named:
        target = os.path.join(root, uses.split("@")[0])
        if target.endswith((".yml", ".yaml")):
            if not os.path.isfile(target):
                problem(uses, "expected the reusable workflow %s, found no such file" % os.path.relpath(target, root))
        else:
            found = [os.path.join(target, n) for n in ("action.yml", "action.yaml")
                     if os.path.isfile(os.path.join(target, n))]
            if not found:
                problem(uses, "expected a local action with an action.yml, found no such file in %s" % target)
            files += found
    return list(dict.fromkeys(os.path.normpath(f) for f in files))


def check_file(path, local_actions, summaries):
    text = open(path, encoding="utf-8").read()
    try:
        pinned = check_pinning(path, text, local_actions)
        document = yaml.safe_load(text)
    except yaml.YAMLError as error:
        problem(path, "expected YAML, found: %s" % str(error).replace("\n", " "))
        return None
    summaries.append("%s: %d uses pinned" % (path, pinned))
    check_common(path, document)
    return text


def main():
    folder, readme_path, presets_path = sys.argv[1:]
    readme = open(readme_path, encoding="utf-8").read().splitlines()
    presets = json.load(open(presets_path, encoding="utf-8"))
    root = os.path.dirname(os.path.dirname(os.path.abspath(folder)))
    summaries = []
    local_actions = []
    for base, _, files in os.walk(folder):
        for file in sorted(files):
            path = os.path.join(base, file)
            text = check_file(path, local_actions, summaries)
            if text is not None and file == "ci.yml":
                summaries.append("%s: %s" % (path, check_ci(path, text, readme, presets, root)))
    checked = set()
    while True:
        pending = [f for f in local_action_files(root, local_actions) if f not in checked]
        if not pending:
            break
        for action in pending:
            checked.add(action)
            check_file(os.path.relpath(action), local_actions, summaries)
    for line in problems:
        print("check-workflow: " + line, file=sys.stderr)
    if problems:
        sys.exit(1)
    print("\n".join(summaries))


if __name__ == "__main__":
    main()
