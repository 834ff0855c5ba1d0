// The unwinder in a static libgcc asks the C library where the unwind tables
// of the code at an address are through _dl_find_object, which came with
// glibc 2.35. The executable is linked with --wrap=_dl_find_object and gets
// the same answer from dl_iterate_phdr, which every glibc has, so throwing
// still works and the executable still runs on 2.34.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <link.h>
#include <stddef.h>
#include <stdint.h>

struct lookup {
  uintptr_t pc;
  struct dl_find_object *out;
  int found;
};

// Fills the answer when the object holds the address in one of its loaded
// segments: its extent and its PT_GNU_EH_FRAME table.
static int look_in(struct dl_phdr_info *info, size_t size, void *data) {
  (void)size;
  struct lookup *l = data;
  uintptr_t lo = UINTPTR_MAX, hi = 0;
  void *eh_frame = NULL;
  int inside = 0;
  for (int i = 0; i < info->dlpi_phnum; i++) {
    const ElfW(Phdr) *p = &info->dlpi_phdr[i];
    uintptr_t start = info->dlpi_addr + p->p_vaddr;
    if (p->p_type == PT_LOAD) {
      if (start < lo) lo = start;
      if (start + p->p_memsz > hi) hi = start + p->p_memsz;
      if (l->pc >= start && l->pc < start + p->p_memsz) inside = 1;
    } else if (p->p_type == PT_GNU_EH_FRAME) {
      eh_frame = (void *)start;
    }
  }
  if (!inside) return 0;
  l->out->dlfo_flags = 0;
  l->out->dlfo_map_start = (void *)lo;
  l->out->dlfo_map_end = (void *)hi;
  l->out->dlfo_link_map = NULL;
  l->out->dlfo_eh_frame = eh_frame;
  l->found = 1;
  return 1;
}

int __wrap__dl_find_object(void *pc, struct dl_find_object *result);
int __wrap__dl_find_object(void *pc, struct dl_find_object *result) {
  struct lookup l = {(uintptr_t)pc, result, 0};
  dl_iterate_phdr(look_in, &l);
  return l.found ? 0 : -1;
}
