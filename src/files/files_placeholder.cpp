namespace clx {}
