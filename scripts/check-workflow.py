#!/usr/bin/env python3
"""What makes the released bytes the tested ones, read from the parsed workflow: prints one line per
rule broken and exits 1, or says what holds and exits 0.
usage: check-workflow.py WORKFLOW"""
import re
import sys

import yaml

PINNED_ACTION = re.compile(r"^[\w.-]+/[\w./-]+@[0-9a-f]{40}$")
PINNED_IMAGE = re.compile(r"@sha256:[0-9a-f]{64}$")
ARTIFACT = "${{ env.ARTIFACT }}"


def steps(job):
    return job.get("steps") or []


def runs(job):
    return "\n".join(str(step.get("run", "")) for step in steps(job))


def images(job):
    """The container images of a job, each matrix value put in."""
    container = job.get("container")
    image = container.get("image") if isinstance(container, dict) else container
    if image is None:
        return []
    found = re.fullmatch(r"\$\{\{\s*matrix\.(\w+)\s*\}\}", str(image))
    if not found:
        return [str(image)]
    include = ((job.get("strategy") or {}).get("matrix") or {}).get("include") or []
    return [str(leg.get(found.group(1))) for leg in include]


def needs(job):
    wanted = job.get("needs") or []
    return {wanted} if isinstance(wanted, str) else set(wanted)


def writes(granted):
    return granted == "write-all" or isinstance(granted, dict) and "write" in granted.values()


def field(node, name):
    """The node under NAME in a parsed mapping, or None."""
    pairs = node.value if isinstance(node, yaml.MappingNode) else []
    return next((value for key, value in pairs if key.value == name), None)


def uses_lines(text):
    """(job, uses, what follows it on its line) for each step's uses. Its tag is a comment, which the
    parsed workflow does not hold: each step's line is where the parser read its uses."""
    lines, root = text.splitlines(), yaml.compose(text)
    jobs = field(root, "jobs")
    for job, node in jobs.value if isinstance(jobs, yaml.MappingNode) else []:
        steps = field(node, "steps")
        for step in steps.value if isinstance(steps, yaml.SequenceNode) else []:
            uses = field(step, "uses")
            if isinstance(uses, yaml.ScalarNode):
                yield job.value, uses.value, lines[uses.end_mark.line][uses.end_mark.column:]


def takes_artifact(job, action):
    return sum(1 for step in steps(job) if str(step.get("uses", "")).startswith(action)
               and (step.get("with") or {}).get("name") == ARTIFACT)


def problems(text):
    workflow = yaml.safe_load(text)
    jobs = workflow.get("jobs") or {}
    linux, windows = jobs.get("linux", {}), jobs.get("windows", {})
    rebuild, release = jobs.get("rebuild", {}), jobs.get("release", {})

    if workflow.get("permissions") != {"contents": "read"}:
        yield "the workflow must start from read-only permissions (permissions: contents: read)"
    for name, job in jobs.items():
        granted = job.get("permissions") or {}
        if name != "release" and writes(granted):
            yield f"the {name} job must not write: only the release job may"
        for step in steps(job):
            uses = str(step.get("uses", ""))
            if uses and not uses.startswith(("./", "docker://")) and not PINNED_ACTION.match(uses):
                yield f"the {name} job: {uses} must be pinned by a commit's 40 hex digits"
            if uses.startswith("actions/checkout") and (step.get("with") or {}).get("persist-credentials") is not False:
                yield f"the {name} job: the checkout must not keep its token (persist-credentials: false)"
        for image in images(job):
            if not PINNED_IMAGE.search(image):
                yield f"the {name} job: the image {image} must be pinned by its digest (@sha256:...)"
        if "--clobber" in runs(job) or "gh release upload" in runs(job):
            yield f"the {name} job: no asset of a release may be replaced (no --clobber, no gh release upload)"

    for name, uses, rest in uses_lines(text):
        if PINNED_ACTION.match(uses) and not re.match(r"\s+#\s*v\d", rest):
            yield f"the {name} job: {uses} must have its tag in a comment beside it (# v1.2.3)"

    # The test command in Debian 12 and 13; the Debian 12 leg keeps the artifact.
    linux_images = images(linux)
    if "bash scripts/test.sh" not in runs(linux) or not any(
            re.match(r"debian:(12|bookworm)@", i) for i in linux_images) or not any(
            re.match(r"debian:(13|trixie)@", i) for i in linux_images):
        yield "the linux job must run the test command (bash scripts/test.sh) in Debian 12 and in Debian 13"
    kept = [str(leg.get("image")) for leg in ((linux.get("strategy") or {}).get("matrix") or {}).get("include") or []
            if leg.get("keep") is True]
    if takes_artifact(linux, "actions/upload-artifact") != 1 or len(kept) != 1 or not re.match(r"debian:(12|bookworm)@", kept[0]):
        yield "the linux job must keep the artifact $ARTIFACT once, from its Debian 12 leg only"

    # Windows runs every test of the released exe; a filter would drop some.
    if "gtest_filter" in str(windows).lower() or not all(p in runs(windows) for p in ("core_tests", "window_tests", "e2e_tests")):
        yield "the windows job must run every test of core_tests, window_tests and e2e_tests (no gtest filter)"

    # An independent rebuild in the release's image, as another user, gives the same bytes.
    if not ("linux" in needs(rebuild) and images(rebuild) == kept and "runuser" in runs(rebuild) and "cmp " in runs(rebuild)):
        yield "the rebuild job must build again in the Debian 12 image as another user (runuser) and cmp the bytes"

    if not {"linux", "windows", "rebuild"} <= needs(release):
        yield "the release job must need the linux, windows and rebuild jobs"
    if "gh release create" not in runs(release):
        yield "the release job must make a new release (gh release create)"
    for name in ("windows", "rebuild", "release"):
        if takes_artifact(jobs.get(name, {}), "actions/download-artifact") != 1:
            yield f"the {name} job must take the artifact $ARTIFACT, once"


def main():
    path = sys.argv[1]
    with open(path, encoding="utf-8") as file:
        found = list(problems(file.read()))
    for problem in found:
        print(f"== {path}: {problem}")
    if found:
        return 1
    print(f"== {path}: the release takes the Debian 12 test command's ZIP, rebuilt alike and tested on Windows;"
          " actions and images pinned, read-only but for the release")
    return 0


if __name__ == "__main__":
    sys.exit(main())
